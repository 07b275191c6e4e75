#include "rawzip.h"

#include <zlib.h>

namespace et {

namespace {
void app16(std::string& s, uint16_t v) {
  s += char(v & 0xFF);
  s += char(v >> 8);
}
void app32(std::string& s, uint32_t v) {
  app16(s, uint16_t(v));
  app16(s, uint16_t(v >> 16));
}
}  // namespace

void put16(std::string& s, size_t at, uint16_t v) {
  s[at] = char(v & 0xFF);
  s[at + 1] = char(v >> 8);
}
void put32(std::string& s, size_t at, uint32_t v) {
  put16(s, at, uint16_t(v));
  put16(s, at + 2, uint16_t(v >> 16));
}
uint16_t get16(const std::string& s, size_t at) {
  return uint16_t((unsigned char)s[at] | ((unsigned char)s[at + 1] << 8));
}
uint32_t get32(const std::string& s, size_t at) { return get16(s, at) | (uint32_t(get16(s, at + 2)) << 16); }

uint32_t crcOf(const std::string& d) {
  return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(d.data()), uInt(d.size())));
}

std::string rawDeflate(const std::string& data) {
  z_stream zs{};
  deflateInit2(&zs, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, uLong(data.size())), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = uInt(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = uInt(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

RawArchive buildZip(const std::vector<RawMember>& members, const std::string& prefix, const std::string& comment) {
  RawArchive a;
  a.bytes = prefix;
  std::vector<size_t> offsets;
  std::vector<std::string> comp;
  for (const RawMember& m : members) {
    std::string c = m.deflate ? rawDeflate(m.data) : m.data;
    uint16_t method = m.method != 0xFFFF ? m.method : (m.deflate ? 8 : 0);
    uint32_t crc = m.crcOverride >= 0 ? uint32_t(m.crcOverride) : crcOf(m.data);
    uint32_t usize = m.sizeOverride >= 0 ? uint32_t(m.sizeOverride) : uint32_t(m.data.size());
    offsets.push_back(a.bytes.size() - prefix.size());
    std::string& s = a.bytes;
    app32(s, 0x04034b50);
    app16(s, 20);
    app16(s, uint16_t(m.flags | (m.descriptor ? 8 : 0)));
    app16(s, method);
    app16(s, m.dosTime);
    app16(s, m.dosDate);
    app32(s, m.descriptor ? 0 : crc);
    app32(s, m.descriptor ? 0 : uint32_t(c.size()));
    app32(s, m.descriptor ? 0 : usize);
    app16(s, uint16_t(m.name.size()));
    app16(s, uint16_t(m.extra.size()));
    s += m.name;
    s += m.extra;
    s += c;
    if (m.descriptor) {
      if (m.descriptorSignature) app32(s, 0x08074b50);
      app32(s, crc);
      app32(s, uint32_t(c.size()));
      app32(s, usize);
    }
    comp.push_back(std::move(c));
  }
  a.cdStart = a.bytes.size();
  for (size_t i = 0; i < members.size(); ++i) {
    const RawMember& m = members[i];
    uint16_t method = m.method != 0xFFFF ? m.method : (m.deflate ? 8 : 0);
    std::string& s = a.bytes;
    a.centralRecords.push_back(s.size());
    app32(s, 0x02014b50);
    app16(s, m.madeBy);
    app16(s, 20);
    app16(s, uint16_t(m.flags | (m.descriptor ? 8 : 0)));
    app16(s, method);
    app16(s, m.dosTime);
    app16(s, m.dosDate);
    app32(s, m.crcOverride >= 0 ? uint32_t(m.crcOverride) : crcOf(m.data));
    app32(s, uint32_t(comp[i].size()));
    app32(s, m.sizeOverride >= 0 ? uint32_t(m.sizeOverride) : uint32_t(m.data.size()));
    app16(s, uint16_t(m.name.size()));
    app16(s, uint16_t(m.extra.size()));
    app16(s, 0);
    app16(s, 0);
    app16(s, 0);
    app32(s, m.externalAttr);
    app32(s, m.offsetOverride >= 0 ? uint32_t(m.offsetOverride) : uint32_t(offsets[i]));
    s += m.name;
    s += m.extra;
  }
  size_t cdSize = a.bytes.size() - a.cdStart;
  a.endRecord = a.bytes.size();
  std::string& s = a.bytes;
  app32(s, 0x06054b50);
  app16(s, 0);
  app16(s, 0);
  app16(s, uint16_t(members.size()));
  app16(s, uint16_t(members.size()));
  app32(s, uint32_t(cdSize));
  app32(s, uint32_t(a.cdStart - prefix.size()));
  app16(s, uint16_t(comment.size()));
  s += comment;
  return a;
}

}  // namespace et

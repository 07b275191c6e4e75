#include "member_record.h"

#include <cstring>

void SetName(char (&field)[260], const std::string& text) {
  memset(field, 0, sizeof(field));
  memcpy(field, text.data(), text.size() < sizeof(field) ? text.size() : sizeof(field) - 1);
}

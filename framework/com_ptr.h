// Taking over a reference someone already counted into a ComPtr.
#pragma once

#include <wrl/client.h>

// The pointer's owner hands its reference over; none is added.  (The
// toolchain's ComPtr::Attach adds one, unlike the platform's own.)
template <typename T>
Microsoft::WRL::ComPtr<T> AdoptRef(T* counted) {
  Microsoft::WRL::ComPtr<T> owner;
  *owner.GetAddressOf() = counted;
  return owner;
}

#include "host/c4d_bitmap.h"

BaseBitmap::BaseBitmap() : handle(BitmapApi() != nullptr ? BitmapApi()->create() : nullptr) {}

BaseBitmap::~BaseBitmap() {
  if (handle != nullptr && BitmapApi() != nullptr) BitmapApi()->release(handle);
}

Int32 BaseBitmap::Init(const Filename& name, Int32 frame) {
  if (handle == nullptr || name.Handle() == nullptr) return IMAGERESULT_NOTEXISTING;
  return BitmapApi()->load(handle, name.Handle(), frame);
}

Int32 BaseBitmap::GetBw() const {
  return handle != nullptr ? BitmapApi()->width(handle) : 0;
}

Int32 BaseBitmap::GetBh() const {
  return handle != nullptr ? BitmapApi()->height(handle) : 0;
}

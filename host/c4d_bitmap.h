// The host's bitmap, owned by its holder.
#ifndef TESSALINE_HOST_C4D_BITMAP_H
#define TESSALINE_HOST_C4D_BITMAP_H

#include "host/c4d_file.h"

// Results of loading an image.
constexpr Int32 IMAGERESULT_OK = 1;
constexpr Int32 IMAGERESULT_NOTEXISTING = 0;

class BaseBitmap {
 public:
  // An empty bitmap of the host's; without a host it stays absent.
  BaseBitmap();
  BaseBitmap(const BaseBitmap&) = delete;
  BaseBitmap& operator=(const BaseBitmap&) = delete;
  ~BaseBitmap();

  // Loads an image file; frame -1 takes the file's first image.
  Int32 Init(const Filename& name, Int32 frame = -1);
  Int32 GetBw() const;
  Int32 GetBh() const;

  bool Exists() const { return handle != nullptr; }
  const HostBitmap* Handle() const { return handle; }

 private:
  HostBitmap* handle;
};

#endif

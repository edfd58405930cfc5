#include "stand_ins/embedder/png_encoder.h"

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdio>
#include <limits>

namespace stand_in {
namespace {

using Microsoft::WRL::ComPtr;

// COM on the calling thread for one scope. A thread that already has COM in the other apartment
// model keeps it; the imaging objects work in either, and that COM is not ended here.
class ComScope {
 public:
  ComScope() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }

  HRESULT result() const { return result_ == RPC_E_CHANGED_MODE ? S_OK : result_; }

 private:
  HRESULT result_;
};

// Copies the whole of `stream` into `bytes`.
HRESULT ReadStream(IStream* stream, std::vector<uint8_t>* bytes) {
  STATSTG stat{};
  HRESULT result = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(result)) return result;
  if (stat.cbSize.QuadPart > std::numeric_limits<ULONG>::max()) return E_OUTOFMEMORY;
  const auto size = static_cast<ULONG>(stat.cbSize.QuadPart);
  bytes->resize(size);
  result = stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  if (FAILED(result)) return result;
  ULONG read = 0;
  result = stream->Read(bytes->data(), size, &read);
  if (FAILED(result)) return result;
  return read == size ? S_OK : E_FAIL;
}

std::string Failure(const char* step, HRESULT result) {
  char code[16];
  std::snprintf(code, sizeof(code), "0x%08lX", static_cast<unsigned long>(result));
  return std::string(step) + " failed (" + code + ")";
}

}  // namespace

bool EncodePng(const BgrImage& image, std::vector<uint8_t>* png, std::string* error) {
  const uint64_t stride = uint64_t{image.width} * 3;
  if (image.width == 0 || image.height == 0 || image.pixels.size() != stride * image.height ||
      image.pixels.size() > std::numeric_limits<UINT>::max()) {
    *error = "the image's pixels do not match its size";
    return false;
  }
  const ComScope com;
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  // The encoder may answer with another format than asked for; the pixels are only in this one.
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  const char* step = nullptr;
  HRESULT result = S_OK;
  const auto succeeds = [&](const char* name, HRESULT outcome) {
    step = name;
    result = outcome;
    return SUCCEEDED(outcome);
  };
  if (!succeeds("setting up COM", com.result()) ||
      !succeeds("creating the imaging factory",
                CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(&factory))) ||
      !succeeds("creating a memory stream", CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
      !succeeds("creating the PNG encoder",
                factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
      !succeeds("starting the encoder",
                encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      !succeeds("creating the frame", encoder->CreateNewFrame(&frame, nullptr)) ||
      !succeeds("starting the frame", frame->Initialize(nullptr)) ||
      !succeeds("setting the size", frame->SetSize(image.width, image.height)) ||
      !succeeds("setting the pixel format", frame->SetPixelFormat(&format)) ||
      !succeeds("taking 24-bit BGR pixels", format == GUID_WICPixelFormat24bppBGR
                                                ? S_OK
                                                : WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT) ||
      !succeeds("writing the pixels", frame->WritePixels(image.height, static_cast<UINT>(stride),
                                                         static_cast<UINT>(image.pixels.size()),
                                                         const_cast<BYTE*>(image.pixels.data()))) ||
      !succeeds("committing the frame", frame->Commit()) ||
      !succeeds("committing the file", encoder->Commit()) ||
      !succeeds("reading the encoded file", ReadStream(stream.Get(), png))) {
    *error = "PNG encoding: " + Failure(step, result);
    return false;
  }
  return true;
}

}  // namespace stand_in

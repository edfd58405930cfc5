#include "tests/stand_ins/png_reader.h"

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

namespace testing_support {

std::vector<uint8_t> ReadPng(const std::vector<uint8_t>& file, uint32_t* width, uint32_t* height) {
  using Microsoft::WRL::ComPtr;
  // COM stays set up on this thread for the rest of the test program.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  GUID container{};
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> converter;
  if ((FAILED(com) && com != RPC_E_CHANGED_MODE) ||
      FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&factory))) ||
      FAILED(factory->CreateStream(&stream)) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(file.data()),
                                          static_cast<DWORD>(file.size()))) ||
      FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              &decoder)) ||
      FAILED(decoder->GetContainerFormat(&container)) || container != GUID_ContainerFormatPng ||
      FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetSize(width, height)) ||
      FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat24bppRGB,
                                   WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom))) {
    return {};
  }
  std::vector<uint8_t> pixels(size_t{*width} * *height * 3);
  if (FAILED(converter->CopyPixels(nullptr, *width * 3, static_cast<UINT>(pixels.size()),
                                   pixels.data()))) {
    return {};
  }
  return pixels;
}

}  // namespace testing_support

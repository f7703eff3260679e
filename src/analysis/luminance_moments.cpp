#include "analysis/luminance_moments.h"

#include "analysis/luminance_moments_kernels.h"
#include "common/cpu_features.h"

int luminance_weight(const Ptm& ptm) { return ptm.format == PTM_FORMAT_RGB ? 100 : 1; }

bool moments_isa_available(MomentsIsa isa) {
  switch (isa) {
    case MomentsIsa::portable:
      return true;
    case MomentsIsa::avx2:
      return cpu_has_avx2();
    case MomentsIsa::avx512:
      return cpu_has_avx512_vbmi_vnni();
  }
  return false;
}

LuminanceMoments luminance_moments(const Ptm& ptm, MomentsIsa isa) {
  LuminanceMoments m{};
  const std::size_t pixels = pixel_count(ptm);
  if (ptm.format == PTM_FORMAT_RGB) {
    const std::uint8_t* const planes[6] = {ptm.coef_planes[0], ptm.coef_planes[1],
                                           ptm.coef_planes[2], ptm.coef_planes[3],
                                           ptm.coef_planes[4], ptm.coef_planes[5]};
    switch (isa) {
      case MomentsIsa::portable:
        add_rgb_moments_portable(planes, pixels, m);
        break;
      case MomentsIsa::avx2:
        add_rgb_moments_avx2(planes, pixels, m);
        break;
      case MomentsIsa::avx512: {
        const std::size_t done = add_rgb_moments_avx512(planes, pixels, m);
        const std::uint8_t* const rest[6] = {planes[0] + done * 3, planes[1] + done * 3,
                                             planes[2] + done * 3, planes[3] + done * 3,
                                             planes[4] + done * 3, planes[5] + done * 3};
        add_rgb_moments_avx2(rest, pixels - done, m);
        break;
      }
    }
    return m;
  }
  const std::uint8_t* low = ptm.coef_planes[0];
  const std::uint8_t* high = ptm.coef_planes[1];
  switch (isa) {
    case MomentsIsa::portable:
      add_byte_moments_portable(low, high, pixels, m);
      break;
    case MomentsIsa::avx2:
      add_byte_moments_avx2(low, high, pixels, m);
      break;
    case MomentsIsa::avx512: {
      const std::size_t done = add_byte_moments_avx512(low, high, pixels, m);
      add_byte_moments_avx2(low + done * 3, high + done * 3, pixels - done, m);
      break;
    }
  }
  return m;
}

LuminanceMoments luminance_moments(const Ptm& ptm) {
  const MomentsIsa fastest = moments_isa_available(MomentsIsa::avx512) ? MomentsIsa::avx512
                             : moments_isa_available(MomentsIsa::avx2) ? MomentsIsa::avx2
                                                                       : MomentsIsa::portable;
  return luminance_moments(ptm, fastest);
}

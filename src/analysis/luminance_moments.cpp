#include "analysis/luminance_moments.h"

#include <vector>

#include "analysis/luminance_moments_kernels.h"
#include "common/cpu_features.h"
#include "common/parallel.h"

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

namespace {

// The moments of `pixels` pixels of the map from pixel `first` on.
LuminanceMoments moments_of_pixels(const Ptm& ptm, MomentsIsa isa, std::size_t first,
                                   std::size_t pixels) {
  LuminanceMoments m{};
  Ptm view = ptm;
  for (auto*& plane : view.coef_planes) {
    if (plane != nullptr) plane += first * 3;
  }
  if (ptm.format == PTM_FORMAT_RGB) {
    const std::uint8_t* const planes[6] = {view.coef_planes[0], view.coef_planes[1],
                                           view.coef_planes[2], view.coef_planes[3],
                                           view.coef_planes[4], view.coef_planes[5]};
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
  const std::uint8_t* low = view.coef_planes[0];
  const std::uint8_t* high = view.coef_planes[1];
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

// Pixels in a block of work: a multiple of the kernels' own blocks.
constexpr std::int64_t moments_block = 1 << 20;

}  // namespace

LuminanceMoments luminance_moments(const Ptm& ptm, MomentsIsa isa, int threads) {
  const auto pixels = static_cast<std::int64_t>(pixel_count(ptm));
  std::vector<LuminanceMoments> blocks(
      static_cast<std::size_t>(block_count(pixels, moments_block)));
  parallel_blocks(threads, pixels, moments_block, [&](std::int64_t first, std::int64_t end) {
    blocks[static_cast<std::size_t>(first / moments_block)] = moments_of_pixels(
        ptm, isa, static_cast<std::size_t>(first), static_cast<std::size_t>(end - first));
  });
  LuminanceMoments m{};
  for (const LuminanceMoments& block : blocks) {
    for (int k = 0; k < 6; ++k) m.sum[k] += block.sum[k];
    for (int i = 0; i < moment_pair_count; ++i) m.product[i] += block.product[i];
  }
  return m;
}

LuminanceMoments luminance_moments(const Ptm& ptm, int threads) {
  const MomentsIsa fastest = moments_isa_available(MomentsIsa::avx512) ? MomentsIsa::avx512
                             : moments_isa_available(MomentsIsa::avx2) ? MomentsIsa::avx2
                                                                       : MomentsIsa::portable;
  return luminance_moments(ptm, fastest, threads);
}

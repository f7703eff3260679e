#include "support/icc_fixture.h"

#include <lcms2.h>

#include <stdexcept>

namespace {

std::string saved(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::string bytes(size, '\0');
  if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) {
    cmsCloseProfile(profile);
    throw std::runtime_error("LittleCMS could not save the profile");
  }
  cmsCloseProfile(profile);
  return bytes;
}

const cmsCIExyY d65 = {0.3127, 0.3290, 1.0};

}  // namespace

std::string adobe_rgb_profile_bytes() {
  const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE profile = cmsCreateRGBProfile(&d65, &primaries, curves);
  cmsFreeToneCurve(gamma);
  cmsMLU* description = cmsMLUalloc(nullptr, 1);
  cmsMLUsetASCII(description, "en", "US", "Adobe RGB (1998)");
  cmsWriteTag(profile, cmsSigProfileDescriptionTag, description);
  cmsMLUfree(description);
  return saved(profile);
}

std::string grey_profile_bytes() {
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
  cmsHPROFILE profile = cmsCreateGrayProfile(&d65, gamma);
  cmsFreeToneCurve(gamma);
  return saved(profile);
}

std::vector<std::string> icc_app2_payloads(const std::string& profile, int parts) {
  std::vector<std::string> payloads;
  const std::size_t part_size = (profile.size() + parts - 1) / parts;
  for (int i = 0; i < parts; ++i) {
    std::string payload("ICC_PROFILE\0", 12);
    payload += static_cast<char>(i + 1);
    payload += static_cast<char>(parts);
    payload += profile.substr(std::min(profile.size(), i * part_size), part_size);
    payloads.push_back(payload);
  }
  return payloads;
}

#include "imageio/colour_profile.h"

#include <lcms2.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

namespace {

// LittleCMS reports through a handler of its context; each conversion has
// its own context, so the first message lands in the conversion's record
// and concurrent readers never share one.
struct ProfileErrors {
  std::string first;
};

void keep_first_error(cmsContext context, cmsUInt32Number, const char* text) {
  auto* errors = static_cast<ProfileErrors*>(cmsGetContextUserData(context));
  if (errors->first.empty() && text != nullptr) errors->first = text;
}

// Everything a conversion opens, closed in the reverse order whatever
// happens.
struct Conversion {
  ProfileErrors errors;
  cmsContext context = nullptr;
  cmsHPROFILE source = nullptr;
  cmsHPROFILE srgb = nullptr;
  cmsHTRANSFORM transform = nullptr;

  Conversion() {
    context = cmsCreateContext(nullptr, &errors);
    if (context != nullptr) cmsSetLogErrorHandlerTHR(context, keep_first_error);
  }
  ~Conversion() {
    if (transform != nullptr) cmsDeleteTransform(transform);
    if (srgb != nullptr) cmsCloseProfile(srgb);
    if (source != nullptr) cmsCloseProfile(source);
    if (context != nullptr) cmsDeleteContext(context);
  }
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  std::string reason() const { return errors.first.empty() ? "" : " (" + errors.first + ")"; }
};

// The colour space signature is the profile header's four bytes, held as
// a number: a damaged profile's need not be one LittleCMS names.
const char* colour_space_name(std::uint32_t space) {
  switch (space) {
    case cmsSigGrayData: return "a grey";
    case cmsSigCmykData: return "a CMYK";
    case cmsSigCmyData: return "a CMY";
    case cmsSigLabData: return "a Lab";
    case cmsSigXYZData: return "an XYZ";
    case cmsSigYCbCrData: return "a YCbCr";
    default: return "a non-RGB";
  }
}

// The profile's description in printable ASCII for messages, at most 64
// characters ("Adobe RGB (1998)", "Display P3").
std::string profile_description(cmsHPROFILE profile) {
  char text[65] = {};
  cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", text, sizeof text);
  std::string description;
  for (const char* c = text; *c != '\0'; ++c) {
    description += std::isprint(static_cast<unsigned char>(*c)) ? *c : '?';
  }
  return description.empty() ? "an unnamed profile" : description;
}

// ---- 16-bit photographs of matrix/TRC profiles ----
//
// A matrix/TRC profile (Adobe RGB, ProPhoto, Display P3, nearly every
// camera's) maps each channel through its tone curve to linear light and
// the three through its colorants to the connection space; sRGB is such a
// profile too. The conversion is therefore a curve per channel, one 3 x 3
// matrix, clipping to sRGB's gamut and sRGB's inverse curve. LittleCMS's
// 16-bit transform of it precalculates a grid of 33 points a side and
// interpolates, across the clipping too: measured against the exact
// conversion, it errs by up to 4058 of 65535 near sRGB's gamut edge; its
// unoptimised pipeline is exact but converts about 1 million pixels a
// second. So the curves and colorants, read and evaluated by LittleCMS,
// are composed here into tables, exact to a fraction of a 16-bit step.

using Matrix3 = double[3][3];

// The colorants (the connection-space XYZ of each primary) as columns.
bool read_colorants(cmsHPROFILE profile, Matrix3& m) {
  const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                   cmsSigBlueColorantTag};
  for (int c = 0; c < 3; ++c) {
    const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[c]));
    if (xyz == nullptr) return false;
    m[0][c] = xyz->X;
    m[1][c] = xyz->Y;
    m[2][c] = xyz->Z;
  }
  return true;
}

bool invert(const Matrix3& m, Matrix3& inverse) {
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  if (!std::isnormal(det)) return false;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      // The cofactor of (j, i) over the determinant.
      const int r0 = (j + 1) % 3, r1 = (j + 2) % 3, c0 = (i + 1) % 3, c1 = (i + 2) % 3;
      inverse[i][j] = (m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0]) / det;
    }
  }
  return true;
}

// Whether LittleCMS would convert the profile by its matrix and curves for
// the perceptual intent (no lookup-table tag takes precedence).
bool converts_by_matrix(cmsHPROFILE profile) {
  return cmsIsMatrixShaper(profile) && !cmsIsCLUT(profile, INTENT_PERCEPTUAL, LCMS_USED_AS_INPUT);
}

// A tone curve's values at `steps` + 1 evenly spaced inputs over 0..1,
// each evaluated by LittleCMS when first needed: a photograph uses a part
// of a 16-bit curve's 65537 values, a small one only a handful.
struct SampledCurve {
  const cmsToneCurve* curve;
  int steps;
  float scale;  // of the values
  std::vector<float> values;
  std::vector<std::uint8_t> known;

  SampledCurve(const cmsToneCurve* c, int n, float s)
      : curve(c), steps(n), scale(s), values(n + 1), known(n + 1, 0) {}

  float at(int i) {
    if (known[i] == 0) {
      values[i] = scale * cmsEvalToneCurveFloat(curve, static_cast<cmsFloat32Number>(
                                                            static_cast<double>(i) / steps));
      known[i] = 1;
    }
    return values[i];
  }
};

// The steps at which sRGB's inverse curve is sampled and interpolated:
// its curvature (at most about 2400, just above its linear toe) keeps the
// interpolation within 0.005 of a 16-bit step.
constexpr int encoding_steps = 65536;

bool convert_by_matrix(cmsHPROFILE source, cmsHPROFILE srgb, std::vector<std::uint16_t>& samples) {
  Matrix3 source_colorants;
  Matrix3 srgb_colorants;
  Matrix3 to_srgb_xyz;
  if (!read_colorants(source, source_colorants) || !read_colorants(srgb, srgb_colorants) ||
      !invert(srgb_colorants, to_srgb_xyz)) {
    return false;
  }
  float m[3][3];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      double sum = 0;
      for (int k = 0; k < 3; ++k) sum += to_srgb_xyz[i][k] * source_colorants[k][j];
      m[i][j] = static_cast<float>(sum);
    }
  }
  const cmsTagSignature curve_tags[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
  std::vector<SampledCurve> linear;
  for (cmsTagSignature tag : curve_tags) {
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(source, tag));
    if (curve == nullptr) return false;
    linear.emplace_back(curve, 65535, 1.0f);
  }
  // sRGB's three curves are one.
  const auto* srgb_curve = static_cast<const cmsToneCurve*>(cmsReadTag(srgb, cmsSigRedTRCTag));
  cmsToneCurve* inverse = srgb_curve != nullptr ? cmsReverseToneCurve(srgb_curve) : nullptr;
  if (inverse == nullptr) return false;
  SampledCurve encode(inverse, encoding_steps, 65535.0f);

  const std::size_t count = samples.size();
  for (std::size_t p = 0; p + 2 < count; p += 3) {
    const float l[3] = {linear[0].at(samples[p]), linear[1].at(samples[p + 1]),
                        linear[2].at(samples[p + 2])};
    for (int c = 0; c < 3; ++c) {
      // Clipped to sRGB's gamut, as LittleCMS's own transforms clip (a
      // damaged curve's NaN to black).
      float y = m[c][0] * l[0] + m[c][1] * l[1] + m[c][2] * l[2];
      y = y > 0.0f ? std::min(y, 1.0f) : 0.0f;
      const float x = y * encoding_steps;
      const int i = std::min(static_cast<int>(x), encoding_steps - 1);
      const float low = encode.at(i);
      const float v = low + (x - i) * (encode.at(i + 1) - low);
      samples[p + c] = static_cast<std::uint16_t>(std::clamp(v, 0.0f, 65535.0f) + 0.5f);
    }
  }
  cmsFreeToneCurve(inverse);
  return true;
}

}  // namespace

bool convert_to_srgb(const std::uint8_t* profile, std::size_t size, Photograph& photograph,
                     std::string& problem) {
  Conversion conversion;
  if (conversion.context == nullptr) {
    problem = "LittleCMS could not start";
    return false;
  }
  conversion.source = cmsOpenProfileFromMemTHR(conversion.context, profile,
                                               static_cast<cmsUInt32Number>(size));
  if (conversion.source == nullptr) {
    problem = "its colour profile cannot be read" + conversion.reason();
    return false;
  }
  const auto space = static_cast<std::uint32_t>(cmsGetColorSpace(conversion.source));
  if (space != cmsSigRgbData) {
    problem = std::string("its colour profile is ") + colour_space_name(space) +
              " profile, not an RGB one";
    return false;
  }
  conversion.srgb = cmsCreate_sRGBProfileTHR(conversion.context);
  const bool wide = photograph.bits == 16;
  if (wide && conversion.srgb != nullptr && converts_by_matrix(conversion.source) &&
      convert_by_matrix(conversion.source, conversion.srgb, photograph.samples16)) {
    photograph.profile = profile_description(conversion.source);
    return true;
  }
  const cmsUInt32Number format = wide ? TYPE_RGB_16 : TYPE_RGB_8;
  if (conversion.srgb != nullptr) {
    conversion.transform =
        cmsCreateTransformTHR(conversion.context, conversion.source, format, conversion.srgb,
                              format, INTENT_PERCEPTUAL, 0);
  }
  if (conversion.transform == nullptr) {
    problem = "its colour profile cannot be converted to sRGB" + conversion.reason();
    return false;
  }
  // Input and output pixels have one size, so LittleCMS converts in place.
  const auto pixels =
      static_cast<cmsUInt32Number>(static_cast<std::size_t>(photograph.width) * photograph.height);
  if (wide) {
    cmsDoTransform(conversion.transform, photograph.samples16.data(), photograph.samples16.data(),
                   pixels);
  } else {
    cmsDoTransform(conversion.transform, photograph.samples8.data(), photograph.samples8.data(),
                   pixels);
  }
  photograph.profile = profile_description(conversion.source);
  return true;
}

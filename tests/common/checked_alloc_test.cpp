#include "common/checked_alloc.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(CheckedAlloc, ReturnsVectorAlignedMemoryAndCountsBytes) {
  const std::uint64_t before = bytes_allocated();
  void* p = checked_alloc(100);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 64, 0u);
  EXPECT_EQ(bytes_allocated(), before + 100);
  checked_free(p);
}

TEST(CheckedAllocDeathTest, FailureReportsSizeAndTotalThenExitsMinusOne) {
  EXPECT_EXIT(checked_alloc_array<std::uint64_t>(SIZE_MAX / 4), testing::ExitedWithCode(255),
              "Memory Allocation error. size: [0-9]+\n[0-9]+ bytes already allocated.\n");
}

#include <cstddef>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/end_program.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool address_sanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool address_sanitizer = true;
#else
constexpr bool address_sanitizer = false;
#endif
#else
constexpr bool address_sanitizer = false;
#endif

struct ProgramEnded {
  int status;
};

[[noreturn]] void throw_instead_of_exiting(int status) { throw ProgramEnded{status}; }

// Where a result must be kept, so that no allocation is optimised away.
void* volatile kept = nullptr;

struct FailingAllocation {
  const char* form;
  std::size_t size;  // what operator new is asked for
  std::function<void(std::size_t)> allocate;
};

}  // namespace

// Every throwing form of the global operator new, asked for more than the
// system can give, prints the checked allocator's two lines with the size
// asked for and ends the program with -1. Sizes above PTRDIFF_MAX are
// refused without asking the system; PTRDIFF_MAX itself is asked for and
// refused by the system, except under AddressSanitizer, whose allocator
// reports such a request as its own error.
TEST(GlobalOperatorNew, AFailedAllocationTakesTheCheckedAllocatorsPath) {
  const std::size_t beyond = SIZE_MAX;
  const std::size_t largest = PTRDIFF_MAX;
  const std::align_val_t wide{256};
  std::vector<FailingAllocation> cases = {
      {"operator new", beyond, [](std::size_t n) { kept = ::operator new(n); }},
      {"operator new[]", beyond, [](std::size_t n) { kept = ::operator new[](n); }},
      {"aligned operator new", beyond, [wide](std::size_t n) { kept = ::operator new(n, wide); }},
      {"aligned operator new[]", beyond,
       [wide](std::size_t n) { kept = ::operator new[](n, wide); }},
      {"std::make_unique<char[]>", beyond,
       [](std::size_t n) { kept = std::make_unique<char[]>(n).release(); }},
  };
  if (!address_sanitizer) {
    cases.push_back({"operator new", largest, [](std::size_t n) { kept = ::operator new(n); }});
    cases.push_back({"aligned operator new[]", largest,
                     [wide](std::size_t n) { kept = ::operator new[](n, wide); }});
    cases.push_back({"std::vector<char>::reserve", largest, [](std::size_t n) {
                       std::vector<char> v;
                       v.reserve(n);
                       kept = v.data();
                     }});
  }
  const EndProgramHook previous = set_end_program_hook(throw_instead_of_exiting);
  for (const FailingAllocation& c : cases) {
    SCOPED_TRACE(std::string(c.form) + " of " + std::to_string(c.size) + " bytes");
    const std::string expected = "Memory Allocation error. size: " + std::to_string(c.size) + "\n" +
                                 std::to_string(bytes_allocated()) + " bytes already allocated.\n";
    testing::internal::CaptureStderr();
    int status = 0;
    try {
      c.allocate(c.size);
      ADD_FAILURE() << "the allocation succeeded";
    } catch (const ProgramEnded& ended) {
      status = ended.status;
    } catch (const std::bad_alloc&) {
      ADD_FAILURE() << "std::bad_alloc escaped";
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), expected);
    EXPECT_EQ(status, -1);
  }
  set_end_program_hook(previous);
}

// The std::nothrow forms keep their contract: null, no message, no exit.
TEST(GlobalOperatorNew, TheNothrowFormsReturnNullWithoutAMessage) {
  testing::internal::CaptureStderr();
  const std::align_val_t wide{256};
  EXPECT_EQ(::operator new(SIZE_MAX, std::nothrow), nullptr);
  EXPECT_EQ(::operator new[](SIZE_MAX, std::nothrow), nullptr);
  EXPECT_EQ(::operator new(SIZE_MAX, wide, std::nothrow), nullptr);
  EXPECT_EQ(::operator new[](SIZE_MAX, wide, std::nothrow), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // A request that can be met is met, at the alignment asked for.
  void* p = ::operator new(1000, wide, std::nothrow);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % 256, 0u);
  ::operator delete(p, wide);
}

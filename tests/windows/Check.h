#pragma once

// A small self-contained test harness for the Windows test programs, which run under Wine where
// no test framework is installed. Each TEST_CASE registers itself; CHECK records a failure and goes
// on; REQUIRE stops the case. main() runs every case (or those whose name contains argv[1]) and
// prints PASS or FAIL per case and a summary. An argument "-text" runs every case whose name does
// not contain text.

#include <chrono>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace orvane::check {

struct Case {
  const char* name;
  std::function<void()> body;
};

inline std::vector<Case>& cases() {
  static std::vector<Case> all;
  return all;
}

inline int& failures() {
  static int count = 0;
  return count;
}

struct Registrar {
  Registrar(const char* name, std::function<void()> body) {
    cases().push_back({name, std::move(body)});
  }
};

struct Stop {};  // a REQUIRE failed: the rest of the case cannot run

inline void fail(const char* file, int line, const std::string& what) {
  ++failures();
  std::printf("    %s:%d: %s\n", file, line, what.c_str());
  std::fflush(stdout);
}

template <class A, class B>
std::string describePair(const A& a, const B& b) {
  std::ostringstream out;
  out << "got [" << a << "], expected [" << b << "]";
  return out.str();
}

inline int runAll(int argc, char** argv) {
  std::string filter = argc > 1 ? argv[1] : "";
  const bool exclude = !filter.empty() && filter[0] == '-';
  if (exclude) filter.erase(0, 1);
  int ran = 0;
  int failedCases = 0;
  for (const auto& c : cases()) {
    const bool matches = std::string(c.name).find(filter) != std::string::npos;
    if (!filter.empty() && matches == exclude) continue;
    ++ran;
    const int before = failures();
    const auto start = std::chrono::steady_clock::now();
    std::printf("[ RUN  ] %s\n", c.name);
    std::fflush(stdout);
    try {
      c.body();
    } catch (const Stop&) {
    } catch (const std::exception& e) {
      fail(__FILE__, __LINE__, std::string("unexpected exception: ") + e.what());
    } catch (...) {
      fail(__FILE__, __LINE__, "unexpected exception of unknown type");
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    const bool ok = failures() == before;
    if (!ok) ++failedCases;
    std::printf("[ %s ] %s (%lld ms)\n", ok ? "PASS" : "FAIL", c.name, static_cast<long long>(ms));
    std::fflush(stdout);
  }
  std::printf("%d of %d cases passed\n", ran - failedCases, ran);
  if (ran == 0) std::printf("FAIL: no case matched\n");
  return failedCases == 0 && ran > 0 ? 0 : 1;
}

}  // namespace orvane::check

#define ORVANE_CHECK_CAT2(a, b) a##b
#define ORVANE_CHECK_CAT(a, b) ORVANE_CHECK_CAT2(a, b)
#define TEST_CASE(name)                                                              \
  static void ORVANE_CHECK_CAT(testBody, __LINE__)();                                \
  static const ::orvane::check::Registrar ORVANE_CHECK_CAT(testRegistrar, __LINE__)( \
      name, &ORVANE_CHECK_CAT(testBody, __LINE__));                                  \
  static void ORVANE_CHECK_CAT(testBody, __LINE__)()

#define CHECK(condition) \
  ((condition) ? (void)0 : ::orvane::check::fail(__FILE__, __LINE__, "CHECK(" #condition ")"))
#define REQUIRE(condition)                                                  \
  do {                                                                      \
    if (!(condition)) {                                                     \
      ::orvane::check::fail(__FILE__, __LINE__, "REQUIRE(" #condition ")"); \
      throw ::orvane::check::Stop{};                                        \
    }                                                                       \
  } while (false)
#define CHECK_EQ(actual, expected)                                                          \
  do {                                                                                      \
    const auto& checkActual = (actual);                                                     \
    const auto& checkExpected = (expected);                                                 \
    if (!(checkActual == checkExpected)) {                                                  \
      ::orvane::check::fail(__FILE__, __LINE__,                                             \
                            "CHECK_EQ(" #actual ", " #expected "): " +                      \
                                ::orvane::check::describePair(checkActual, checkExpected)); \
    }                                                                                       \
  } while (false)
// Runs the statement and expects it to throw Exception; the caught exception is named `error` in
// the follow-up block: CHECK_THROWS(Type, statement, { CHECK(error.what() ...); }).
#define CHECK_THROWS(Exception, statement, ...)                                              \
  do {                                                                                       \
    bool checkThrew = false;                                                                 \
    try {                                                                                    \
      statement;                                                                             \
    } catch (const Exception& error) {                                                       \
      checkThrew = true;                                                                     \
      (void)error;                                                                           \
      __VA_ARGS__                                                                            \
    }                                                                                        \
    if (!checkThrew) {                                                                       \
      ::orvane::check::fail(__FILE__, __LINE__, "expected " #Exception " from " #statement); \
    }                                                                                        \
  } while (false)

#define CHECK_MAIN                              \
  int main(int argc, char** argv) {             \
    return ::orvane::check::runAll(argc, argv); \
  }

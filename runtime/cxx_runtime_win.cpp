// Linked straight into the installer, ahead of the C++ run-time library, whose own versions of
// these would otherwise come along with their dependencies.
#include <bits/functexcept.h>

#include <cstdlib>
#include <exception>

#include "runtime/fatal_win.h"

namespace {

constexpr char kOutOfMemory[] = "内存不足";
constexpr char kInternalError[] = "安装程序出现内部错误";

}  // namespace

namespace __gnu_cxx {

// The default handler writes the demangled exception type to a console a GUI program does not
// have, and pulls the whole demangler (some 45 KB) into the exe for it.
void __verbose_terminate_handler() { vorlune::FailFatally(kInternalError); }

}  // namespace __gnu_cxx

// Nothing in the program catches an exception, so each would end in std::terminate: the library's
// throw helpers end the program the run time's own way instead, which also keeps its exception
// classes and their strings (some 50 KB) out of the exe. A failed allocation is a fatal failure.
namespace std {

void __throw_bad_alloc() { vorlune::FailFatally(kOutOfMemory); }
void __throw_bad_array_new_length() { vorlune::FailFatally(kOutOfMemory); }
void __throw_length_error(const char*) { vorlune::FailFatally(kOutOfMemory); }
void __throw_bad_exception() { vorlune::FailFatally(kInternalError); }
void __throw_bad_cast() { vorlune::FailFatally(kInternalError); }
void __throw_bad_typeid() { vorlune::FailFatally(kInternalError); }
void __throw_logic_error(const char*) { vorlune::FailFatally(kInternalError); }
void __throw_domain_error(const char*) { vorlune::FailFatally(kInternalError); }
void __throw_invalid_argument(const char*) { vorlune::FailFatally(kInternalError); }
void __throw_out_of_range(const char*) { vorlune::FailFatally(kInternalError); }
void __throw_out_of_range_fmt(const char*, ...) { vorlune::FailFatally(kInternalError); }
void __throw_runtime_error(const char*) { vorlune::FailFatally(kInternalError); }
void __throw_range_error(const char*) { vorlune::FailFatally(kInternalError); }
void __throw_overflow_error(const char*) { vorlune::FailFatally(kInternalError); }
void __throw_underflow_error(const char*) { vorlune::FailFatally(kInternalError); }
void __throw_system_error(int) { vorlune::FailFatally(kInternalError); }
void __throw_future_error(int) { vorlune::FailFatally(kInternalError); }
void __throw_bad_function_call() { vorlune::FailFatally(kInternalError); }

}  // namespace std

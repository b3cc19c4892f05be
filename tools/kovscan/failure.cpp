#include "tools/kovscan/failure.h"

#include <cstdio>
#include <filesystem>
#include <new>

namespace kovscan {

Failure::Failure(ExitCode code, const std::string& message)
    : std::runtime_error(message), code_(code) {}

Outcome OutcomeOf(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const Failure& known) {
    return {known.Code(), known.what()};
  } catch (const std::filesystem::filesystem_error& error) {
    return {kFileFailure, error.what()};
  } catch (const std::bad_alloc&) {
    return {kUnexpectedFailure, "out of memory"};
  } catch (const std::exception& error) {
    return {kUnexpectedFailure, std::string("unexpected failure: ") + error.what()};
  } catch (...) {
    return {kUnexpectedFailure, "unexpected failure"};
  }
}

int Report(const Outcome& outcome) {
  std::fprintf(stderr, "kovscan: %s\n", outcome.message.c_str());
  return outcome.code;
}

}  // namespace kovscan

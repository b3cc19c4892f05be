// What ends a kovscan command early, and the exit code it ends with. Every failure kovscan
// raises is a Failure carrying its code; OutcomeOf is the one place an exception becomes an
// exit code and a message.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace kovscan {

enum ExitCode {
  kSuccess = 0,
  kUnexpectedFailure = 1,  // out of memory, or a fault of kovscan itself
  kFeederEmpty = 2,        // not even a first page
  kBadArguments = 3,
  kLibraryFailure = 4,
  kFileFailure = 5,  // the output folder or a file in it could not be made or written
  kStopped = 6,      // Ctrl-C, SIGTERM, SIGHUP: the pages so far kept, with manifest and report
};

class Failure : public std::runtime_error {
 public:
  Failure(ExitCode code, const std::string& message);
  ExitCode Code() const { return code_; }

 private:
  ExitCode code_;
};

// An argument or a value refused, for the user to mend.
class ArgumentError : public Failure {
 public:
  explicit ArgumentError(const std::string& message) : Failure(kBadArguments, message) {}
};

// The file system refused: a folder or file that cannot be made, written or renamed.
class FileError : public Failure {
 public:
  explicit FileError(const std::string& message) : Failure(kFileFailure, message) {}
};

struct Outcome {
  ExitCode code = kSuccess;
  std::string message;
};

// The failure's exit code and what the user is told. Out of memory and anything not raised as
// a Failure are kovscan's own failures (exit 1), never the library's.
Outcome OutcomeOf(const std::exception_ptr& failure);
// The message on the error stream; returns the exit code.
int Report(const Outcome& outcome);

}  // namespace kovscan

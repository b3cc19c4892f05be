// Call switches: let a test count, fail or hold any stand-in operation.
//
// Every operation calls EnterOperation first. A switched failure returns the value a real
// failure of that operation gives (see FailureValue), with the same side effects on the
// caller's buffer as that real failure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sim {

// One entry per operation; the failure value of each is listed beside it.
enum class Op : std::size_t {
  Startup,               // -4500 no memory
  Shutdown,              // -4300 not started
  SetAppName,            // -4420 invalid argument
  MemStartup,            // -4500 no memory
  MemShutdown,           // -4300 not started
  MemSetAppName,         // -4420 invalid argument
  ReadProfileString,     // -4610 key missing, buffer emptied
  FileOpen,              // -4600 file not found
  FileCreate,            // -4601 file not created
  FileSeek,              // -4604 seek failed
  FileWrite,             // -4602 write failed
  FileClose,             // -4603 invalid handle
  ErrorText,             // -4421 no text, buffer untouched
  LoadString,            // -4611 string not found, buffer emptied
  BarcodeCreate,         // -4500 no memory, no reader
  BarcodeGetState,       // -4500 no memory, no string
  BarcodePutState,       // -4420 invalid argument, state kept
  BarcodePropertySheet,  // -10 driver failure, no sheet shown
  DrvLoad,               // -4100 driver not found, record untouched
  DrvInit,               // -10 driver failure, the driver stays loaded
  DrvUnload,             // -4100 driver not found, the driver stays loaded
  DefaultMessage,        // -4415 message not supported
  Alloc,                 // -4500 no memory: answers null
  Free,                  // -4420 invalid argument, the block stays
  TextToNumber,          // -4420 invalid argument
  MakePipe,              // -4430 no pipe, text emptied
  SelectScanner,         // -4102 no scanner selected
  GetScanName,           // -4102 no scanner selected, name emptied
  MemImageOpen,          // -4500 no memory, no image
  MemImageClose,         // -4420 invalid argument, the image stays open
  MemGetTag,             // -4410 tag not supported, value untouched
  MemGetTagArray,        // -4500 no memory, no line written
  RunZone,               // -4401 no page in the feeder (plain), nothing sent down the chain
  CopySamples,           // -4420 invalid argument, nothing copied
  LoadInitPipe,          // -4430 no pipe, record untouched
  PipeUnload,            // -4420 invalid argument, the pipe stays
  PipeAttach,            // -4420 invalid argument, nothing attached
  PipeDetach,            // -4420 invalid argument, the output stays
  DriverMessage,         // -10 driver failure: any message to a stand-in driver's entry
  Count
};

inline constexpr std::size_t kOpCount = static_cast<std::size_t>(Op::Count);

// The operation's name as the framework exports it.
std::string_view NameOf(Op op);

// The error value a switched failure of the operation returns.
std::int32_t FailureValue(Op op);

// Calls since the last ResetSwitches, failed and held ones included.
std::uint32_t CallCount(Op op);

// Makes the k-th call from now (k >= 1) fail once; k = 0 cancels.
void FailNext(Op op, std::uint32_t k = 1);

// Across all operations: makes the k-th call from now (k >= 1), whichever operation it is,
// fail once; k = 0 cancels.
void FailNthCall(std::uint32_t k);
// Across all operations: each call fails with chance 1 in oneIn, drawn from seed (reproducible
// for the same order of calls); oneIn = 0 stops it.
void FailAtRandom(std::uint32_t seed, std::uint32_t oneIn);
// Calls of all operations since the last ResetSwitches, and those that failed by a switch.
std::uint64_t TotalCalls();
std::uint64_t SwitchedFailures();
std::uint32_t SwitchedFailures(Op op);

// Makes the next call block until Release.
void HoldNext(Op op);
// Blocks until a call of the operation is held.
void WaitUntilHeld(Op op);
// Lets held calls go on, and cancels a hold not yet reached.
void Release(Op op);

// Clears counts and switches and lets every held call go on.
void ResetSwitches();

// For the operations: counts the call, blocks while held, and answers 0 or the switched
// failure value.
std::int32_t EnterOperation(Op op);

}  // namespace sim

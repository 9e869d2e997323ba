#pragma once
// The one barrier every exported operation runs inside: nothing raised while an operation
// converts its inputs, calls the service or converts its result gets past it.

#include <type_traits>

namespace KobMachineControlIntegration::detail {

// Runs `operation` and returns its result; on any error, whatever part of the result was built is
// destroyed by unwinding and the fallback, a value-initialised result, is returned instead.
// The error is discarded by design: the host reads the outcome from the service's response code.
template <class Operation>
auto call_barrier(Operation&& operation) noexcept -> std::invoke_result_t<Operation> {
  using Result = std::invoke_result_t<Operation>;
  try {
    return operation();
  } catch (...) {
    if constexpr (!std::is_void_v<Result>) return Result{};
  }
}

}  // namespace KobMachineControlIntegration::detail

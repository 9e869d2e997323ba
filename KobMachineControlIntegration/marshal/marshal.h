#pragma once
// The conversion library: one entry point, marshal_as<To>(from), forwarding to the
// marshal_traits<To, From> specialisation for that pair of types. Conversions keep no state and
// raise on failure; they never catch.

#include <KobMachineControl/ApiModels.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace oxel::marshal {

using KobMachineControl::List;
using KobMachineControl::Text;

// ---- Errors -----------------------------------------------------------------------------------

// An argument that cannot be converted; what() is the message.
class argument_error : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// An argument error that names the offending argument in param_name().
class named_argument_error : public argument_error {
 public:
  named_argument_error(const std::string& message, std::string param_name)
      : argument_error(message + param_name), param_name_(std::move(param_name)) {}
  const std::string& param_name() const noexcept { return param_name_; }

 private:
  std::string param_name_;
};

// An argument that is null where a value is needed.
class null_argument_error : public named_argument_error {
 public:
  explicit null_argument_error(std::string param_name)
      : named_argument_error("Value cannot be null: ", std::move(param_name)) {}
};

// An argument whose size is out of range.
class out_of_range_error : public named_argument_error {
 public:
  explicit out_of_range_error(std::string param_name)
      : named_argument_error("Value out of range: ", std::move(param_name)) {}
};

// ---- Entry point ------------------------------------------------------------------------------

// Specialised for every supported pair; each provides `static To marshal(const From&)`.
template <class To, class From>
struct marshal_traits;

template <class To, class From>
To marshal_as(const From& from) {
  return marshal_traits<To, From>::marshal(from);
}

// ---- Text -------------------------------------------------------------------------------------

// Service text to the calling thread's narrow encoding. A null text is an error.
template <>
struct marshal_traits<std::string, Text> {
  static std::string marshal(const Text& from);
};

// Narrow text in the calling thread's encoding to service text.
template <>
struct marshal_traits<Text, std::string> {
  static Text marshal(const std::string& from);
};

// ---- Lists ------------------------------------------------------------------------------------

// Service list to vector, each element by its own conversion. A null list is an error; if any
// element fails, nothing is returned.
template <class T, class U>
struct marshal_traits<std::vector<T>, List<U>> {
  static std::vector<T> marshal(const List<U>& list) {
    if (!list) throw null_argument_error("list");
    std::vector<T> result;
    result.reserve(list->size());
    for (const U& element : *list) result.push_back(marshal_as<T>(element));
    return result;
  }
};

// Vector to service list, created at its final capacity.
template <class U, class T>
struct marshal_traits<List<U>, std::vector<T>> {
  static List<U> marshal(const std::vector<T>& from) {
    List<U> result = KobMachineControl::MakeList<U>(from.size());
    for (const T& element : from) result->push_back(marshal_as<U>(element));
    return result;
  }
};

// Service list to optional vector: a null list is an empty optional, not an error.
template <class T, class U>
struct marshal_traits<std::optional<std::vector<T>>, List<U>> {
  static std::optional<std::vector<T>> marshal(const List<U>& input) {
    if (!input) return std::nullopt;
    return marshal_as<std::vector<T>>(input);
  }
};

}  // namespace oxel::marshal

// The .NET provider: starts the .NET runtime in this process (once), loads the managed adapter
// that sits beside this library, binds it to the configured KobMachineControl assembly and calls
// one [UnmanagedCallersOnly] adapter entry per facade operation. Arguments and results cross as
// one buffer each way, in the wire format below.

#include "DotnetService.h"

#include <coreclr_delegates.h>
#include <dlfcn.h>
#include <hostfxr.h>
#include <nethost.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>

#include <KobMachineControlIntegration/marshal/narrow_encoding.h>
#include "ModelProperties.h"
#include "Scenario.h"

namespace KobMachineControl::dotnet {
namespace {

using namespace ApiModels;
namespace fs = std::filesystem;

// ---- Wire format --------------------------------------------------------------------------------
// Little-endian values: int32 as 4 bytes; bool as 1 byte; a text as its int32 length in UTF-16
// units (-1 for null) followed by the units; a list as its int32 count (-1 for null) followed by
// its elements; a model as 1 byte (0 for null) followed by its properties in the contract's order.

class WireWriter {
 public:
  void Write(std::int32_t value) { Append(&value, sizeof value); }
  void Write(const Text& text) {
    if (!text) return Write(std::int32_t{-1});
    Write(Length(text->size()));
    Append(text->data(), text->size() * sizeof(char16_t));
  }
  void Write(const List<Text>& list) {
    if (!list) return Write(std::int32_t{-1});
    Write(Length(list->size()));
    for (const Text& text : *list) Write(text);
  }
  const std::uint8_t* data() const { return bytes_.data(); }
  std::int32_t size() const { return Length(bytes_.size()); }

 private:
  static std::int32_t Length(std::size_t size) {
    if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
      throw ServiceError("argument too large for the .NET service");
    }
    return static_cast<std::int32_t>(size);
  }
  void Append(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), bytes, bytes + size);
  }
  std::vector<std::uint8_t> bytes_;
};

class WireReader;

template <class T>
struct WireValue;

class WireReader {
 public:
  WireReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  template <class T>
  T Read() {
    return WireValue<T>::Read(*this);
  }

  std::size_t Remaining() const { return size_ - position_; }

  const std::uint8_t* Take(std::size_t size) {
    if (size > size_ - position_) throw ServiceError("malformed answer from the .NET service");
    const std::uint8_t* at = data_ + position_;
    position_ += size;
    return at;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

template <>
struct WireValue<std::int32_t> {
  static std::int32_t Read(WireReader& wire) {
    std::int32_t value;
    std::memcpy(&value, wire.Take(sizeof value), sizeof value);
    return value;
  }
};

template <>
struct WireValue<bool> {
  static bool Read(WireReader& wire) { return *wire.Take(1) != 0; }
};

template <>
struct WireValue<Text> {
  static Text Read(WireReader& wire) {
    const auto length = wire.Read<std::int32_t>();
    if (length == -1) return std::nullopt;
    if (length < 0) throw ServiceError("malformed answer from the .NET service");
    std::u16string text(static_cast<std::size_t>(length), u'\0');
    std::memcpy(text.data(), wire.Take(text.size() * sizeof(char16_t)),
                text.size() * sizeof(char16_t));
    return text;
  }
};

template <class T>
struct WireValue<List<T>> {
  static List<T> Read(WireReader& wire) {
    const auto count = wire.Read<std::int32_t>();
    if (count == -1) return nullptr;
    if (count < 0) throw ServiceError("malformed answer from the .NET service");
    // Each element takes at least one byte, so a count beyond what is left is malformed.
    if (static_cast<std::size_t>(count) > wire.Remaining()) {
      throw ServiceError("malformed answer from the .NET service");
    }
    auto list = MakeList<T>(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) list->push_back(wire.Read<T>());
    return list;
  }
};

template <class Model>
struct WireValue<Ref<Model>> {
  static Ref<Model> Read(WireReader& wire) {
    if (!wire.Read<bool>()) return nullptr;
    auto model = std::make_shared<Model>();
    std::apply([&](const auto&... property) { ((ReadInto(wire, *model, property)), ...); },
               PropertiesOf<Model>());
    return model;
  }

  template <class Member>
  static void ReadInto(WireReader& wire, Model& model, const Property<Model, Member>& property) {
    model.*property.member = wire.Read<Member>();
  }
};

// ---- The runtime, started once per process ------------------------------------------------------

// The adapter's entries: arguments in, the caller's response code, the result out (malloc'd by
// the adapter, freed here). Status 0 is success; otherwise the result is the error's message.
using Entry = int (*)(const std::uint8_t* arguments, std::int32_t length,
                      std::int32_t* responsecode, std::uint8_t** result,
                      std::int32_t* result_length);
using BindEntry = int (*)(const char16_t* path, std::int32_t length, std::uint8_t** result,
                          std::int32_t* result_length);

constexpr const char* kAdapterType = "KobMachineControl.Adapter.Entry, KobMachineControl.Adapter";

// The folder holding the adapter: beside this library.
fs::path AdapterDirectory() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<const void*>(&AdapterDirectory), &info) == 0 || !info.dli_fname) {
    throw ServiceError("cannot locate the service library");
  }
  return fs::path(info.dli_fname).parent_path() / "KobMachineControl.Adapter";
}

std::string& HostingMessages() {
  static std::string messages;
  return messages;
}

void CollectHostingMessage(const char_t* message) {
  if (!HostingMessages().empty()) HostingMessages() += "; ";
  HostingMessages() += message;
}

struct Runtime {
  load_assembly_and_get_function_pointer_fn load = nullptr;
  fs::path adapter;
  std::string problem;
};

template <class Function>
Function Symbol(void* library, const char* name) {
  void* symbol = dlsym(library, name);
  if (!symbol) throw ServiceError(std::string("hostfxr lacks ") + name);
  return reinterpret_cast<Function>(symbol);
}

std::string Hex(std::int32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(code));
  return text;
}

Runtime StartRuntime() {
  Runtime runtime;
  try {
    const fs::path directory = AdapterDirectory();
    runtime.adapter = directory / "KobMachineControl.Adapter.dll";
    const fs::path config = directory / "KobMachineControl.Adapter.runtimeconfig.json";
    if (!fs::exists(runtime.adapter) || !fs::exists(config)) {
      throw ServiceError("the managed adapter is missing from " + directory.string());
    }

    char hostfxr_path[4096];
    std::size_t size = sizeof hostfxr_path;
    if (const int rc = get_hostfxr_path(hostfxr_path, &size, nullptr); rc != 0) {
      throw ServiceError("no .NET runtime found (install one, or set DOTNET_ROOT): " + Hex(rc));
    }
    void* hostfxr = dlopen(hostfxr_path, RTLD_NOW | RTLD_LOCAL);
    if (!hostfxr) throw ServiceError(std::string("cannot load hostfxr: ") + dlerror());
    const auto set_error_writer =
        Symbol<hostfxr_set_error_writer_fn>(hostfxr, "hostfxr_set_error_writer");
    const auto initialize = Symbol<hostfxr_initialize_for_runtime_config_fn>(
        hostfxr, "hostfxr_initialize_for_runtime_config");
    const auto get_delegate =
        Symbol<hostfxr_get_runtime_delegate_fn>(hostfxr, "hostfxr_get_runtime_delegate");
    const auto close = Symbol<hostfxr_close_fn>(hostfxr, "hostfxr_close");

    set_error_writer(CollectHostingMessage);
    hostfxr_handle context = nullptr;
    // 0: started; 1: this process already runs .NET, which is used; 2: as 1, with other
    // properties. Negative codes are failures.
    const std::int32_t rc = initialize(config.c_str(), nullptr, &context);
    void* load = nullptr;
    std::int32_t delegate_rc = -1;
    if (rc >= 0 && context) {
      delegate_rc = get_delegate(context, hdt_load_assembly_and_get_function_pointer, &load);
    }
    if (context) close(context);
    set_error_writer(nullptr);
    if (rc < 0 || delegate_rc != 0 || !load) {
      throw ServiceError("the .NET runtime did not start (" + Hex(rc < 0 ? rc : delegate_rc) + ")" +
                         (HostingMessages().empty() ? "" : ": " + HostingMessages()));
    }
    runtime.load = reinterpret_cast<load_assembly_and_get_function_pointer_fn>(load);
  } catch (const std::exception& error) {
    runtime.problem = error.what();
  }
  return runtime;
}

const Runtime& TheRuntime() {
  static const Runtime runtime = StartRuntime();  // thread-safe, once per process
  return runtime;
}

template <class Function>
Function AdapterEntry(const Runtime& runtime, const char* name) {
  void* entry = nullptr;
  const int rc = runtime.load(runtime.adapter.c_str(), kAdapterType, name,
                              UNMANAGEDCALLERSONLY_METHOD, nullptr, &entry);
  if (rc != 0 || !entry) {
    throw ServiceError(std::string("the managed adapter has no entry ") + name + " (" + Hex(rc) +
                       ")");
  }
  return reinterpret_cast<Function>(entry);
}

struct FreeBuffer {
  void operator()(std::uint8_t* buffer) const { std::free(buffer); }
};

// ---- The provider -------------------------------------------------------------------------------

class DotnetService final : public ServiceProvider {
 public:
  explicit DotnetService(const std::string& assembly_path) {
    const Runtime& runtime = TheRuntime();
    if (!runtime.load) throw ServiceError(runtime.problem);
    const std::u16string path =
        oxel::marshal::detail::from_utf8(fs::absolute(assembly_path).string());
    std::uint8_t* message = nullptr;
    std::int32_t length = 0;
    const int status = AdapterEntry<BindEntry>(runtime, "Bind")(
        path.data(), static_cast<std::int32_t>(path.size()), &message, &length);
    Check(status, message, length);
    for (auto& [name, entry] : entries_) entry = AdapterEntry<Entry>(runtime, name);
  }

  void SetTenantUniqueId(const Text& tenantUniqueId) override {
    Call<void>(kSetTenantUniqueId, nullptr, tenantUniqueId);
  }
  void SetProject(const Text& project) override { Call<void>(kSetProject, nullptr, project); }
  bool IsLoggedIn() override { return Call<bool>(kIsLoggedIn, nullptr); }
  void Logout() override { Call<void>(kLogout, nullptr); }

  Ref<Systems> GetSystemsMC(std::int32_t& responsecode) override {
    return Call<Ref<Systems>>(kGetSystemsMC, &responsecode);
  }
  Ref<Systems> GetSystemsVT(std::int32_t& responsecode) override {
    return Call<Ref<Systems>>(kGetSystemsVT, &responsecode);
  }
  Ref<System> GetSystem(const Text& systemId, std::int32_t& responsecode) override {
    return Call<Ref<System>>(kGetSystem, &responsecode, systemId);
  }
  List<Ref<Connection>> GetConnectionsMC(std::int32_t& responsecode) override {
    return Call<List<Ref<Connection>>>(kGetConnectionsMC, &responsecode);
  }
  List<Ref<Connection>> GetConnectionsVT(std::int32_t& responsecode) override {
    return Call<List<Ref<Connection>>>(kGetConnectionsVT, &responsecode);
  }
  List<Ref<UnitTypes>> GetTypes(std::int32_t& responsecode) override {
    return Call<List<Ref<UnitTypes>>>(kGetTypes, &responsecode);
  }
  List<Ref<ExportRule>> GetExportRules(std::int32_t& responsecode) override {
    return Call<List<Ref<ExportRule>>>(kGetExportRules, &responsecode);
  }
  List<Text> GetDomains(std::int32_t responsecode) override {
    return Call<List<Text>>(kGetDomains, nullptr, responsecode);
  }
  List<Text> GetExportFormats(const List<Text>& unittypes, const Text& ruletype,
                              std::int32_t& responsecode) override {
    return Call<List<Text>>(kGetExportFormats, &responsecode, unittypes, ruletype);
  }
  void SetExportMcFile(const Text& exportfileid, const List<Text>& unittypes,
                       const Text& exporttype, const Text& sourcefileid, std::int32_t sourcefilerev,
                       std::int32_t& responsecode) override {
    Call<void>(kSetExportMcFile, &responsecode, exportfileid, unittypes, exporttype, sourcefileid,
               sourcefilerev);
  }
  void SetExportVtFile(const Text& fileid, const Text& exporttype, const Text& sourcefileid,
                       std::int32_t sourcefilerev, std::int32_t& responsecode) override {
    Call<void>(kSetExportVtFile, &responsecode, fileid, exporttype, sourcefileid, sourcefilerev);
  }

 private:
  enum Operation {
    kSetTenantUniqueId,
    kSetProject,
    kIsLoggedIn,
    kLogout,
    kGetSystemsMC,
    kGetSystemsVT,
    kGetSystem,
    kGetConnectionsMC,
    kGetConnectionsVT,
    kGetTypes,
    kGetExportRules,
    kGetDomains,
    kGetExportFormats,
    kSetExportMcFile,
    kSetExportVtFile,
    kOperations
  };

  static void Check(int status, std::uint8_t* buffer, std::int32_t length) {
    const std::unique_ptr<std::uint8_t, FreeBuffer> owned(buffer);
    if (status == 0) return;
    if (!buffer) throw ServiceError("the .NET service failed");
    WireReader wire(buffer, static_cast<std::size_t>(length));
    const Text message = wire.Read<Text>();
    throw ServiceError(message ? oxel::marshal::detail::to_utf8(*message)
                               : "the .NET service failed");
  }

  // One crossing: encode the arguments, call the entry with the caller's own response code,
  // decode the result (or raise the service's error).
  template <class Result, class... Arguments>
  Result Call(Operation operation, std::int32_t* responsecode, const Arguments&... arguments) {
    WireWriter wire;
    (wire.Write(arguments), ...);
    std::uint8_t* buffer = nullptr;
    std::int32_t length = 0;
    const int status =
        entries_[operation].second(wire.data(), wire.size(), responsecode, &buffer, &length);
    if (status != 0) Check(status, buffer, length);
    const std::unique_ptr<std::uint8_t, FreeBuffer> owned(buffer);
    if constexpr (!std::is_void_v<Result>) {
      WireReader reader(buffer, static_cast<std::size_t>(length));
      return reader.Read<Result>();
    }
  }

  std::pair<const char*, Entry> entries_[kOperations] = {
      {"SetTenantUniqueId", nullptr}, {"SetProject", nullptr},
      {"IsLoggedIn", nullptr},        {"Logout", nullptr},
      {"GetSystemsMC", nullptr},      {"GetSystemsVT", nullptr},
      {"GetSystem", nullptr},         {"GetConnectionsMC", nullptr},
      {"GetConnectionsVT", nullptr},  {"GetTypes", nullptr},
      {"GetExportRules", nullptr},    {"GetDomains", nullptr},
      {"GetExportFormats", nullptr},  {"SetExportMcFile", nullptr},
      {"SetExportVtFile", nullptr},
  };
};

}  // namespace

std::shared_ptr<ServiceProvider> MakeDotnetService(const std::string& assembly_path) {
  return std::make_shared<DotnetService>(assembly_path);
}

}  // namespace KobMachineControl::dotnet

# The .NET SDK's native hosting pack (nethost) and the managed projects, built with `dotnet build`.

get_filename_component(DOTNET_ROOT "${DOTNET_EXECUTABLE}" REALPATH)
get_filename_component(DOTNET_ROOT "${DOTNET_ROOT}" DIRECTORY)
file(GLOB nethost_candidates
     "${DOTNET_ROOT}/packs/Microsoft.NETCore.App.Host.linux-x64/*/runtimes/linux-x64/native")
list(SORT nethost_candidates COMPARE NATURAL ORDER DESCENDING)
find_path(NETHOST_INCLUDE_DIR nethost.h PATHS ${nethost_candidates} NO_DEFAULT_PATH)
find_library(NETHOST_LIBRARY NAMES libnethost.a nethost PATHS ${nethost_candidates} NO_DEFAULT_PATH)
if(NOT NETHOST_INCLUDE_DIR OR NOT NETHOST_LIBRARY)
  message(FATAL_ERROR "The .NET host pack (nethost.h, libnethost) was not found under "
                      "${DOTNET_ROOT}/packs; configure with -DKOBMC_WITH_DOTNET=OFF to build without "
                      "the .NET provider")
endif()
message(STATUS "nethost: ${NETHOST_LIBRARY}")
add_library(kobmc_nethost INTERFACE)
target_include_directories(kobmc_nethost SYSTEM INTERFACE ${NETHOST_INCLUDE_DIR})
target_link_libraries(kobmc_nethost INTERFACE ${NETHOST_LIBRARY})

# Each project builds into its own folder under the build tree; nothing lands in the sources.
set(KOBMC_DOTNET_ARTIFACTS ${CMAKE_BINARY_DIR}/dotnet)
# Quiet and offline: no telemetry, no first-run banner, no check for workload updates.
set(dotnet_environment DOTNET_CLI_TELEMETRY_OPTOUT=1 DOTNET_NOLOGO=1
                       DOTNET_SKIP_FIRST_TIME_EXPERIENCE=1 DOTNET_CLI_WORKLOAD_UPDATE_NOTIFY_DISABLE=1)

# kobmc_dotnet_project(<target> <project dir> <assembly> [VARIANT <name>] [DEPENDS <files>...])
function(kobmc_dotnet_project target project_dir assembly)
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "VARIANT" "DEPENDS")
  file(GLOB sources CONFIGURE_DEPENDS ${project_dir}/*.cs ${project_dir}/*.csproj)
  set(artifacts ${KOBMC_DOTNET_ARTIFACTS})
  set(variant_property)
  if(arg_VARIANT)
    set(artifacts ${KOBMC_DOTNET_ARTIFACTS}/variants/${arg_VARIANT})
    set(variant_property -p:KobmcVariant=${arg_VARIANT})
  endif()
  set(output ${artifacts}/bin/${assembly}/release/${assembly}.dll)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E env ${dotnet_environment}
            ${DOTNET_EXECUTABLE} build ${project_dir} -c Release --nologo -v quiet
            --artifacts-path ${artifacts} ${variant_property}
    DEPENDS ${sources} ${arg_DEPENDS}
    COMMENT "Building the managed ${assembly}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
  set(${target}_OUTPUT ${output} PARENT_SCOPE)
endfunction()

set(KOBMC_MANAGED_SERVICE_DIR ${PROJECT_SOURCE_DIR}/tests/managed-service)
file(GLOB managed_service_sources CONFIGURE_DEPENDS ${KOBMC_MANAGED_SERVICE_DIR}/*.cs)
kobmc_dotnet_project(kobmc_managed_service ${KOBMC_MANAGED_SERVICE_DIR} KobMachineControl)
set(KOBMC_MANAGED_SERVICE ${kobmc_managed_service_OUTPUT})
kobmc_dotnet_project(kobmc_dotnet_adapter_build ${PROJECT_SOURCE_DIR}/service/dotnet
                     KobMachineControl.Adapter DEPENDS ${managed_service_sources})
add_dependencies(kobmc_dotnet_adapter_build kobmc_managed_service)
foreach(variant IN ITEMS MissingOperation NoFacade)
  kobmc_dotnet_project(kobmc_managed_service_${variant} ${KOBMC_MANAGED_SERVICE_DIR}
                       KobMachineControl VARIANT ${variant})
  set(KOBMC_MANAGED_SERVICE_${variant} ${kobmc_managed_service_${variant}_OUTPUT})
  # One dotnet build at a time over the same project.
  add_dependencies(kobmc_managed_service_${variant} kobmc_dotnet_adapter_build)
endforeach()

# The adapter lives beside the service library, where the provider looks for it.
set(adapter_build_dir ${KOBMC_DOTNET_ARTIFACTS}/bin/KobMachineControl.Adapter/release)
set(adapter_dir ${CMAKE_BINARY_DIR}/KobMachineControl.Adapter)
set(adapter_files KobMachineControl.Adapter.dll KobMachineControl.Adapter.deps.json
                  KobMachineControl.Adapter.runtimeconfig.json)
list(TRANSFORM adapter_files PREPEND ${adapter_dir}/ OUTPUT_VARIABLE adapter_outputs)
add_custom_command(OUTPUT ${adapter_outputs}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${adapter_dir}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${adapter_files} ${adapter_dir}
  WORKING_DIRECTORY ${adapter_build_dir}
  DEPENDS ${kobmc_dotnet_adapter_build_OUTPUT}
  COMMENT "Placing the managed adapter beside the service library")
add_custom_target(kobmc_dotnet_adapter ALL DEPENDS ${adapter_outputs})
add_dependencies(kobmc_dotnet_adapter kobmc_dotnet_adapter_build)

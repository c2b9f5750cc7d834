// The provider library loaded with dlopen as a CIM server loads it, in front
// of the real velkcore and the test module in a private bin and pipe
// directory, for the benchmarks that measure provider requests.
#ifndef VELK_BENCH_PROVIDER_H
#define VELK_BENCH_PROVIDER_H

#include <functional>
#include <memory>
#include <string>

#include <Pegasus/Common/CIMObjectPath.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMMethodProvider.h>

#include "InstanceRepository.h"
#include "ProviderLibrary.h"

class BenchProvider {
  public:
    // editDefinitions may rewrite the test module's definitions file text.
    explicit BenchProvider(const std::function<std::string(std::string)>& editDefinitions =
                               [](std::string text) { return text; });
    ~BenchProvider();
    BenchProvider(const BenchProvider&) = delete;
    BenchProvider& operator=(const BenchProvider&) = delete;

    static Pegasus::CIMObjectPath classPath(const char* className);
    Pegasus::Uint32 enumerate(const char* className);

    Pegasus::CIMInstanceProvider* instances = nullptr;
    Pegasus::CIMMethodProvider* methods = nullptr;

  private:
    std::string root;
    std::unique_ptr<velk::cimserver::ProviderLibrary> library;
    std::shared_ptr<velk::cimserver::InstanceRepository> repository;
    Pegasus::CIMProvider* provider = nullptr;
};

#endif

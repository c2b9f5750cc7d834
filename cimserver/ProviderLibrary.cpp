#include "ProviderLibrary.h"

#include <dlfcn.h>

#include <stdexcept>

namespace velk::cimserver {

ProviderLibrary::ProviderLibrary(const std::string& path) {
    _handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (_handle == nullptr) {
        throw std::runtime_error("cannot load provider library " + path + ": " + dlerror());
    }
    void* entry = dlsym(_handle, "PegasusCreateProvider");
    if (entry == nullptr) {
        dlclose(_handle);
        throw std::runtime_error(path + " has no PegasusCreateProvider entry point");
    }
    _createProvider = reinterpret_cast<CreateProviderFunction>(entry);
}

ProviderLibrary::~ProviderLibrary() {
    // As a CIM server does, unload only after the provider has terminated.
    dlclose(_handle);
}

Pegasus::CIMProvider* ProviderLibrary::createProvider(const std::string& providerName) const {
    return _createProvider(Pegasus::String(providerName.c_str()));
}

void* ProviderLibrary::symbol(const char* name) const {
    return dlsym(_handle, name);
}

}  // namespace velk::cimserver

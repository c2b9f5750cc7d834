// Loads a provider library the way a CIM server does: dlopen with
// RTLD_GLOBAL, look up PegasusCreateProvider, ask it for a provider by name.
#ifndef VELK_CIMSERVER_PROVIDER_LIBRARY_H
#define VELK_CIMSERVER_PROVIDER_LIBRARY_H

#include <string>

#include <Pegasus/Provider/CIMProvider.h>

namespace velk::cimserver {

class ProviderLibrary {
  public:
    // Throws std::runtime_error with the loader's message when the library
    // cannot be loaded or lacks the entry point.
    explicit ProviderLibrary(const std::string& path);
    ~ProviderLibrary();
    ProviderLibrary(const ProviderLibrary&) = delete;
    ProviderLibrary& operator=(const ProviderLibrary&) = delete;

    // The provider the library creates for this name, or null.  The caller
    // owns it until it calls terminate(), which deletes it.
    Pegasus::CIMProvider* createProvider(const std::string& providerName) const;
    // Address of another exported symbol of the library, or null.
    void* symbol(const char* name) const;

  private:
    using CreateProviderFunction = Pegasus::CIMProvider* (*)(const Pegasus::String&);

    void* _handle = nullptr;
    CreateProviderFunction _createProvider = nullptr;
};

}  // namespace velk::cimserver

#endif

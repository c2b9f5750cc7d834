// velk-provider-loader: loads the provider library the way an OpenPegasus CIM
// server does and routes requests for every class it serves through it.
//
// The server's steps: dlopen(RTLD_NOW | RTLD_GLOBAL), look up
// PegasusCreateProvider, call it with the provider name, dynamic_cast the
// result to the interface a request needs, initialize() with a CIMOMHandle the
// server allocated, requests, terminate() (the provider deletes itself), then
// delete the handle and dlclose.  The program uses only the documented
// OpenPegasus provider API, so it builds unchanged against our CIM layer and
// against an OpenPegasus SDK; run against either, it prints the same lines.
//
// Usage: velk-provider-loader <provider library>
// Exit status 0 when every request behaved as a CIM server requires, 1 when
// one did not, 2 when the library cannot be loaded.
#include <dlfcn.h>
#include <stdlib.h>

#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Provider/CIMInstanceProvider.h>
#include <Pegasus/Provider/CIMMethodProvider.h>

#include "LoaderHandlers.h"

PEGASUS_USING_PEGASUS;

namespace {

const char* const NAMESPACE = "root/korva";
const char* const HOST = "loaderhost";

const char* const SERVED_CLASSES[] = {
    "VLK_DiskDrive",        "VLK_OpticalDrive",      "VLK_Processor",
    "VLK_DisketteDrive",    "VLK_SerialPort",        "VLK_ParallelPort",
    "VLK_DiagTest",         "VLK_DiagResult",        "VLK_DiagTestForMSE",
    "VLK_DiagResultForMSE", "VLK_DiagResultForTest", "VLK_DiagTestSoftwareAssoc"};

typedef CIMProvider* (*CreateProvider)(const String&);

int failures = 0;

std::string text(const String& s) {
    return std::string(s.getCString());
}

void fail(const std::string& what) {
    std::cout << "FAILED: " << what << "\n";
    failures++;
}

CIMObjectPath classPath(const char* className, const char* host = HOST) {
    return CIMObjectPath(String(host), CIMNamespaceName(NAMESPACE), CIMName(className));
}

// A key value no builder ever produces.
CIMObjectPath absentInstancePath(const char* className) {
    Array<CIMKeyBinding> keys;
    keys.append(CIMKeyBinding(CIMName("Name"), String("no such instance"), CIMKeyBinding::STRING));
    return CIMObjectPath(String(HOST), CIMNamespaceName(NAMESPACE), CIMName(className), keys);
}

OperationContext requestContext() {
    OperationContext context;
    context.insert(IdentityContainer(String("velk-loader")));
    return context;
}

// Runs one request; prints "<label>: <outcome>" where the outcome is what
// describe() says or the CIM status the provider threw.  True when the
// request returned.  (Without a CIM server behind the loader's handle, the
// classes whose instances name the server's computer system fail with the
// handle's exception: a failure a CIM server reports to its client.)
template <class Request, class Describe>
bool run(const std::string& label, Request request, Describe describe) {
    try {
        request();
        std::cout << label << ": " << describe() << "\n";
        return true;
    } catch (const CIMException& e) {
        std::cout << label << ": " << cimStatusCodeToString(e.getCode()) << " \""
                  << e.getMessage().getCString() << "\"\n";
    } catch (const Exception& e) {
        std::cout << label << ": Exception \"" << e.getMessage().getCString() << "\"\n";
    } catch (const std::exception& e) {
        fail(label + ": std::exception " + e.what());
    }
    return false;
}

void expectComplete(const std::string& label, const LoaderHandler& handler) {
    if (!handler.protocolError().empty()) {
        fail(label + ": " + handler.protocolError());
    } else if (!handler.completed()) {
        fail(label + ": returned without complete()");
    }
}

void routeClass(CIMInstanceProvider& provider, const char* className) {
    std::string name(className);
    LoaderPathHandler names;
    bool listed = run(
        name + " enumerateInstanceNames",
        [&] { provider.enumerateInstanceNames(requestContext(), classPath(className), names); },
        [&] { return std::to_string(names.paths().size()) + " names"; });
    if (listed) {
        expectComplete(name + " enumerateInstanceNames", names);
    }

    LoaderInstanceHandler instances;
    bool enumerated = run(
        name + " enumerateInstances",
        [&] {
            provider.enumerateInstances(requestContext(), classPath(className), false, false,
                                        CIMPropertyList(), instances);
        },
        [&] { return std::to_string(instances.instances().size()) + " instances"; });
    if (enumerated) {
        expectComplete(name + " enumerateInstances", instances);
    }
    if (listed != enumerated) {
        fail(name + ": names and instances do not both succeed or both fail");
    }
    if (instances.instances().size() != names.paths().size()) {
        fail(name + ": instance and name counts differ");
    }

    // Every listed name must be gettable; a name never listed must not be.
    for (Uint32 i = 0; i < names.paths().size(); i++) {
        LoaderInstanceHandler one(true);
        run(
            name + " getInstance " + text(names.paths()[i].toString()),
            [&] {
                provider.getInstance(requestContext(), names.paths()[i], false, false,
                                     CIMPropertyList(), one);
            },
            [&] { return std::string("found"); });
        expectComplete(name + " getInstance", one);
    }
    LoaderInstanceHandler absent(true);
    bool notFound = false;
    bool failed = false;
    try {
        provider.getInstance(requestContext(), absentInstancePath(className), false, false,
                             CIMPropertyList(), absent);
    } catch (const CIMException& e) {
        notFound = e.getCode() == CIM_ERR_NOT_FOUND;
        failed = true;
        std::cout << name << " getInstance absent: " << cimStatusCodeToString(e.getCode()) << " \""
                  << e.getMessage().getCString() << "\"\n";
    } catch (const Exception& e) {
        failed = true;
        std::cout << name << " getInstance absent: Exception \"" << e.getMessage().getCString()
                  << "\"\n";
    }
    // A class that could be listed answers NOT_FOUND; one whose listing
    // failed must fail this request too.
    if (listed ? !notFound : !failed) {
        fail(name + ": getInstance of an absent instance did not throw CIM_ERR_NOT_FOUND");
    }
}

void routeRefusedAndInvalidRequests(CIMInstanceProvider& instances, CIMMethodProvider& methods) {
    LoaderInstanceHandler unserved;
    run(
        "CIM_ComputerSystem enumerateInstances",
        [&] {
            instances.enumerateInstances(requestContext(), classPath("CIM_ComputerSystem"), false,
                                         false, CIMPropertyList(), unserved);
        },
        [&] { return std::to_string(unserved.instances().size()) + " instances"; });
    expectComplete("unserved class", unserved);

    LoaderInstanceHandler noHost(true);
    run(
        "getInstance without host",
        [&] {
            instances.getInstance(requestContext(), classPath("VLK_DiagTest", ""), false, false,
                                  CIMPropertyList(), noHost);
        },
        [&] { return std::string("accepted"); });

    LoaderPlainHandler deleted;
    run(
        "deleteInstance",
        [&] {
            instances.deleteInstance(requestContext(), absentInstancePath("VLK_DiagResult"),
                                     deleted);
        },
        [&] { return std::string("accepted"); });

    LoaderMethodHandler method;
    Array<CIMParamValue> in;
    in.append(
        CIMParamValue(String("SystemElement"), CIMValue(absentInstancePath("VLK_DiskDrive"))));
    run(
        "invokeMethod RunTest",
        [&] {
            methods.invokeMethod(requestContext(), absentInstancePath("VLK_DiagTest"),
                                 CIMName("RunTest"), in, method);
        },
        [&] { return "returned " + text(method.returnValue().toString()); });
}

// A private bin directory whose velklog.props logs into it, given to the
// provider through VELKOR_HOME; removed when the program ends.
struct HomeDirectory {
    std::string path;
    HomeDirectory() {
        char pattern[] = "/tmp/velk-loader-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("cannot create a home directory");
        }
        path = pattern;
        std::ofstream props(path + "/velklog.props");
        props << "log4cpp.rootCategory=DEBUG, file\n"
                 "log4cpp.appender.file=FileAppender\n"
                 "log4cpp.appender.file.fileName="
              << path << "/provider.log\n"
              << "log4cpp.appender.file.layout=PatternLayout\n"
                 "log4cpp.appender.file.layout.ConversionPattern=%c %p %m%n\n";
        setenv("VELKOR_HOME", path.c_str(), 1);
    }
    ~HomeDirectory() { std::filesystem::remove_all(path); }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: velk-provider-loader <provider library>\n";
        return 2;
    }
    HomeDirectory home;
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_GLOBAL);
    if (library == nullptr) {
        std::cerr << "velk-provider-loader: " << dlerror() << "\n";
        return 2;
    }
    void* entry = dlsym(library, "PegasusCreateProvider");
    if (entry == nullptr) {
        std::cerr << "velk-provider-loader: no PegasusCreateProvider in " << argv[1] << "\n";
        dlclose(library);
        return 2;
    }
    CreateProvider create = reinterpret_cast<CreateProvider>(entry);
    CIMProvider* provider = create(String("VLK_DiagProvider"));
    CIMInstanceProvider* instances = dynamic_cast<CIMInstanceProvider*>(provider);
    CIMMethodProvider* methods = dynamic_cast<CIMMethodProvider*>(provider);
    if (provider == nullptr || instances == nullptr || methods == nullptr) {
        std::cerr << "velk-provider-loader: no instance and method provider VLK_DiagProvider\n";
        dlclose(library);
        return 2;
    }
    if (create(String("SomeOtherProvider")) != nullptr) {
        fail("PegasusCreateProvider answered another provider name");
    }

    CIMOMHandle* cimom = new CIMOMHandle();
    try {
        provider->initialize(*cimom);
        std::cout << "initialize: done\n";
        for (const char* className : SERVED_CLASSES) {
            routeClass(*instances, className);
        }
        routeRefusedAndInvalidRequests(*instances, *methods);
    } catch (const Exception& e) {
        fail("initialize: " + text(e.getMessage()));
    }
    provider->terminate();
    delete cimom;
    dlclose(library);
    std::cout << (failures == 0 ? "all requests served\n" : "some requests failed\n");
    return failures == 0 ? 0 : 1;
}

// Fuzzes the MOF reader: any text either reads into a consistent class
// schema or is refused with a MofError, never a crash, hang or other
// exception.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ClassSchema.h"
#include "fuzz-text.h"

using velk::cimserver::ClassSchema;
using velk::cimserver::MofError;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    ClassSchema schema;
    try {
        schema = ClassSchema::parse(text, "fuzz.mof");
    } catch (const MofError& e) {
        FUZZ_CHECK(e.file.empty() == false);
        FUZZ_CHECK(e.line >= 0);
        return 0;
    }
    for (const auto& name : schema.classNames()) {
        const auto* decl = schema.find(name);
        FUZZ_CHECK(decl != nullptr);
        FUZZ_CHECK(decl->superClass.empty() || schema.isA(name, decl->superClass));
        for (const auto& key : decl->keyNames()) {
            FUZZ_CHECK(decl->findProperty(key) != nullptr);
        }
        for (const auto& sub : schema.subclasses(name, true)) {
            FUZZ_CHECK(schema.isA(sub, name));
        }
    }
    for (const auto& instance : schema.instances()) {
        FUZZ_CHECK(schema.find(instance.className) != nullptr);
    }
    return 0;
}

#include "ClassSchema.h"

#include <algorithm>
#include <cctype>

#include "MofReader.h"

namespace velk::cimserver {

bool sameCimName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

MofError::MofError(const std::string& file, int line, const std::string& what)
    : std::runtime_error(file + ":" + std::to_string(line) + ": " + what), file(file), line(line) {}

namespace {

template <typename T>
const T* findNamed(const std::vector<T>& items, const std::string& name) {
    for (const auto& item : items) {
        if (sameCimName(item.name, name)) {
            return &item;
        }
    }
    return nullptr;
}

bool qualifierIsTrue(const ClassDecl& decl, const char* name) {
    const QualifierDecl* q = decl.findQualifier(name);
    return q && q->type == "boolean" && q->value == "true";
}

// Own qualifiers win; inherited ones the element does not restate are kept.
void mergeQualifiers(std::vector<QualifierDecl>& own, const std::vector<QualifierDecl>& inherited) {
    for (const auto& q : inherited) {
        if (!findNamed(own, q.name)) {
            own.push_back(q);
        }
    }
}

// Puts inherited members first in base order; an own member with the name of
// an inherited one replaces it in place.
template <typename T, typename Merge>
std::vector<T> overlay(const std::vector<T>& inherited, std::vector<T> own, Merge merge) {
    std::vector<T> result = inherited;
    for (auto& item : own) {
        auto same = std::find_if(result.begin(), result.end(),
                                 [&](const T& r) { return sameCimName(r.name, item.name); });
        if (same == result.end()) {
            result.push_back(std::move(item));
        } else {
            merge(item, *same);
            *same = std::move(item);
        }
    }
    return result;
}

}  // namespace

const QualifierDecl* ClassDecl::findQualifier(const std::string& wanted) const {
    return findNamed(qualifiers, wanted);
}
bool ClassDecl::isAssociation() const {
    return qualifierIsTrue(*this, "Association");
}
bool ClassDecl::isAbstract() const {
    return qualifierIsTrue(*this, "Abstract");
}
const PropertyDecl* ClassDecl::findProperty(const std::string& wanted) const {
    return findNamed(properties, wanted);
}
const MethodDecl* ClassDecl::findMethod(const std::string& wanted) const {
    return findNamed(methods, wanted);
}

std::vector<std::string> ClassDecl::keyNames() const {
    std::vector<std::string> keys;
    for (const auto& property : properties) {
        if (property.isKey) {
            keys.push_back(property.name);
        }
    }
    return keys;
}

ClassSchema ClassSchema::load(const std::string& mofFile) {
    ClassSchema schema;
    MofReader(schema).readFile(mofFile);
    return schema;
}

ClassSchema ClassSchema::parse(const std::string& text, const std::string& sourceName) {
    ClassSchema schema;
    MofReader(schema).readText(text, sourceName);
    return schema;
}

const ClassDecl* ClassSchema::find(const std::string& className) const {
    return findNamed(_classes, className);
}

std::vector<std::string> ClassSchema::classNames() const {
    std::vector<std::string> names;
    for (const auto& decl : _classes) {
        names.push_back(decl.name);
    }
    return names;
}

std::vector<std::string> ClassSchema::subclasses(const std::string& className, bool deep) const {
    // Depth-first without recursion, so a long chain of classes cannot
    // exhaust the stack.
    std::vector<std::string> result;
    std::vector<std::string> pending = {className};
    std::size_t insertAt = 0;
    while (!pending.empty()) {
        std::string parent = pending.back();
        pending.pop_back();
        std::vector<std::string> direct;
        for (const auto& decl : _classes) {
            if (!decl.superClass.empty() && sameCimName(decl.superClass, parent)) {
                direct.push_back(decl.name);
            }
        }
        if (!deep) {
            return direct;
        }
        // The children of a class follow it directly, in declaration order.
        auto at = result.begin() + static_cast<std::ptrdiff_t>(insertAt);
        result.insert(at, direct.begin(), direct.end());
        pending.insert(pending.end(), direct.rbegin(), direct.rend());
        insertAt = 0;
        if (!pending.empty()) {
            auto next = std::find(result.begin(), result.end(), pending.back());
            insertAt = static_cast<std::size_t>(next - result.begin()) + 1;
        }
    }
    return result;
}

bool ClassSchema::isA(const std::string& className, const std::string& ancestor) const {
    // Superclasses are declared before their subclasses, so the chain is finite.
    for (const ClassDecl* decl = find(className); decl; decl = find(decl->superClass)) {
        if (sameCimName(decl->name, ancestor)) {
            return true;
        }
        if (decl->superClass.empty()) {
            break;
        }
    }
    return false;
}

const std::vector<InstanceDecl>& ClassSchema::instances() const {
    return _instances;
}

void ClassSchema::addClass(ClassDecl declared, const std::string& file, int line) {
    if (find(declared.name)) {
        throw MofError(file, line, "class " + declared.name + " declared twice");
    }
    const ClassDecl* base = nullptr;
    if (!declared.superClass.empty()) {
        base = find(declared.superClass);
        if (!base) {
            throw MofError(file, line,
                           "class " + declared.name + ": superclass " + declared.superClass +
                               " is not declared before it");
        }
        declared.superClass = base->name;
    }
    for (auto& property : declared.properties) {
        property.classOrigin = declared.name;
    }
    for (auto& method : declared.methods) {
        method.classOrigin = declared.name;
    }
    if (base) {
        if (base->isAssociation() && !declared.findQualifier("Association")) {
            declared.qualifiers.push_back(*base->findQualifier("Association"));
        }
        for (const auto& own : declared.properties) {
            const PropertyDecl* inherited = base->findProperty(own.name);
            if (inherited && (inherited->type != own.type || inherited->isArray != own.isArray)) {
                throw MofError(file, line,
                               "class " + declared.name + ": property " + own.name +
                                   " changes the type it inherits");
            }
        }
        declared.properties = overlay(base->properties, std::move(declared.properties),
                                      [](PropertyDecl& own, const PropertyDecl& inherited) {
                                          own.isKey = own.isKey || inherited.isKey;
                                          mergeQualifiers(own.qualifiers, inherited.qualifiers);
                                      });
        declared.methods = overlay(base->methods, std::move(declared.methods),
                                   [](MethodDecl& own, const MethodDecl& inherited) {
                                       mergeQualifiers(own.qualifiers, inherited.qualifiers);
                                   });
    }
    for (const auto& property : declared.properties) {
        if (property.type == "reference" && !find(property.referenceClass) &&
            !sameCimName(property.referenceClass, declared.name)) {
            throw MofError(file, line,
                           "class " + declared.name + ": " + property.name +
                               " references unknown class " + property.referenceClass);
        }
    }
    _classes.push_back(std::move(declared));
}

void ClassSchema::addInstance(InstanceDecl instance, const std::string& file, int line) {
    const ClassDecl* decl = find(instance.className);
    if (!decl) {
        throw MofError(file, line, "instance of unknown class " + instance.className);
    }
    for (const auto& key : decl->keyNames()) {
        bool given = std::any_of(instance.values.begin(), instance.values.end(),
                                 [&](const auto& v) { return sameCimName(v.first, key); });
        if (!given) {
            throw MofError(file, line,
                           "instance of " + decl->name + " lacks its key property " + key);
        }
    }
    _instances.push_back(std::move(instance));
}

}  // namespace velk::cimserver

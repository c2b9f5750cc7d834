// OperationContext: the named containers that travel with a request (who asked, in which
// languages, ...). Containers are stored as clones and released with destroy().
#ifndef Pegasus_OperationContext_h
#define Pegasus_OperationContext_h

#include <vector>

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Linkage.h>
#include <Pegasus/Common/String.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/Exception.h>

PEGASUS_NAMESPACE_BEGIN

class PEGASUS_COMMON_LINKAGE OperationContext {
  public:
    class PEGASUS_COMMON_LINKAGE Container {
      public:
        virtual ~Container();
        virtual String getName() const = 0;
        virtual Container* clone() const = 0;
        virtual void destroy() = 0;
    };

    OperationContext();
    OperationContext(const OperationContext& context);
    virtual ~OperationContext();
    OperationContext& operator=(const OperationContext& context);

    void clear();
    // Exception("object not found") when no container has that name.
    const Container& get(const String& containerName) const;
    Boolean contains(const String& containerName) const;
    // Replaces the container of the same name, or adds it.
    void set(const Container& container);
    // AlreadyExistsException when a container of that name is present.
    void insert(const Container& container);
    // Exception("object not found") when no container has that name.
    void remove(const String& containerName);

  private:
    Uint32 _find(const String& containerName) const;

    std::vector<Container*> _containers;
};

// The name of the user on whose behalf the operation runs.
class PEGASUS_COMMON_LINKAGE IdentityContainer : virtual public OperationContext::Container {
  public:
    static const String NAME;  // "IdentityContainer"

    // DynamicCastFailedException when container is not an IdentityContainer.
    IdentityContainer(const OperationContext::Container& container);
    IdentityContainer(const IdentityContainer& container);
    IdentityContainer(const String& userName);
    virtual ~IdentityContainer();
    IdentityContainer& operator=(const IdentityContainer& container);

    virtual String getName() const;
    virtual OperationContext::Container* clone() const;
    virtual void destroy();

    String getUserName() const;

  private:
    String _userName;
};

PEGASUS_NAMESPACE_END

#endif

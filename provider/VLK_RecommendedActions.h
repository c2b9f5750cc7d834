// The recommended actions of a failed, media-less or busy test: a fixed
// table from recommended-actions keys ("<module id>_<index>",
// "<module id>_NoMedia", "Device_Busy") to ordered operator instructions.
#ifndef VLK_RECOMMENDED_ACTIONS_H
#define VLK_RECOMMENDED_ACTIONS_H

#include <Pegasus/Common/Config.h>
#include <Pegasus/Common/Array.h>
#include <Pegasus/Common/String.h>
#include <log4cpp/Category.hh>

PEGASUS_NAMESPACE_BEGIN

class VLK_RecommendedActions {
  public:
    VLK_RecommendedActions() = delete;

    // Builds the table; getAllActions does it on first use.
    static void initialize();
    // The actions of the key, compared ignoring case; one empty string for
    // an unknown key.
    static Array<String> getAllActions(String key);

    static log4cpp::Category& log;
};

PEGASUS_NAMESPACE_END

#endif

// Log line helpers shared by the provider classes: every line written to a
// class's log4cpp category is "(" + source line + ")" + text.
#ifndef VLK_LOG_H
#define VLK_LOG_H

#include <log4cpp/Category.hh>
#include <log4cpp/CategoryStream.hh>
#include <log4cpp/Priority.hh>

#define VLK_LOG(category, priority, text)                                                \
    do {                                                                                 \
        if ((category).isPriorityEnabled(log4cpp::Priority::priority)) {                 \
            (category) << log4cpp::Priority::priority << "(" << __LINE__ << ")" << text; \
        }                                                                                \
    } while (0)

#define VLK_LOG_ERROR(category, text) VLK_LOG(category, ERROR, text)
#define VLK_LOG_WARN(category, text) VLK_LOG(category, WARN, text)
#define VLK_LOG_INFO(category, text) VLK_LOG(category, INFO, text)
#define VLK_LOG_DEBUG(category, text) VLK_LOG(category, DEBUG, text)

#endif

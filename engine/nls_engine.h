// The NLS engine ("NLSENGINE"): texts of NLS tags in every language the
// string files hold, the list of languages and the default language.
//
// Commands (MSG/DATA of a request) and the DATA of their answers:
//   NLS_GETSTRING:LANG:<NLS mod=M id=I VAR=v/>
//       "<NLS mod=M id=I>" + one "<XX>text</XX>" per language that has the
//       id (text escaped, variables substituted) + "</NLS>"; no language
//       element for an unknown module or id, so the client shows the tag
//   NLS_REGMOD:PID:NAME    reads NAME's string file: RESULT OK, or ERROR
//   NLS_GETLANGS           the codes joined by ':' ("EN:DE")
//   NLS_GET_DEFAULT_LANG   the code ("EN" until set)
//   NLS_SET_DEFAULT_LANG:XX  RESULT OK, or ERROR for a code that is not two
//                          letters
// Anything else is answered with an ERROR result.
#pragma once

#include <string>

#include "engine_component.h"
#include "engine_settings.h"
#include "nls_catalog.h"

namespace velk::engine {

class NlsEngine final : public EngineComponent {
  public:
    explicit NlsEngine(const EngineSettings& settings);

    std::string_view Destination() const override;
    void Start(ComponentContext& context) override;
    void HandleMessage(const std::string& message, ComponentContext& context) override;

    // The answer body for one command text; public so that it can be tested
    // without a broker.
    std::string Answer(const std::string& command);

  private:
    std::string GetString(const std::string& arguments) const;

    NlsCatalog catalog_;
    std::string defaultLanguage_ = "EN";
    bool loaded_ = false;
};

}  // namespace velk::engine

// What the installer asks of its helper library at three points of an installation: that the
// parallel-port driver service runs, whether settings of an older installation are kept, and which
// language was installed. Portable: the registry, the question and the service manager come in
// through seams, so the rules are tested natively.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/registry.h"

namespace kv {

// The service manager as the port-driver check needs it.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    virtual bool ntFamily() = 0;
    // Opens the manager and the named service; false when either cannot be opened.
    virtual bool open(const char* service) = 0;
    virtual bool running() = 0;
    virtual void stop() = 0;
    virtual void start() = 0;
    virtual void close() = 0;  // closes whatever open() opened, also after a failed open()
};

extern const char* const kPortDriverService;  // "OmbixLPT"

// Settings roots the installer names by number: 0 = "Software\\Ombix", 1 = "Software\\Brenvale";
// empty for any other number.
std::string installRoot(int32_t number);

// 1 when the port-driver service exists (started when it was not running), 0 outside the NT family
// or when the manager or the service cannot be opened.
int32_t checkPortDriver(ServiceManager& services);

// For product "KV", "QG" or "DSO": when root\product exists, asks keepOld(); on "no" the key goes
// with all its subkeys. 1 after the check (or for another product text), 0 for an unknown root.
int32_t deleteOldProjects(Registry& reg, int32_t rootNumber, const std::string& product,
                          const std::function<bool()>& keepOld);

// Sets the number "InstLang" under root\Inst: 1 when the system language is Traditional Chinese
// (1028), else 0. The installer creates that key first; when it cannot be written, refused() tells
// the user, and the result is 0. An unknown root gives 0 and touches nothing.
int32_t recordInstallLanguage(Registry& reg, int32_t rootNumber, uint16_t systemLanguage,
                              const std::function<void()>& refused);

}  // namespace kv

#include "crash/report/caught_exception.h"

#include <utility>

namespace userdb::crash {

CaughtException::CaughtException(std::shared_ptr<const ModuleSettings> settings)
    : settings_(std::move(settings)) {}

}  // namespace userdb::crash

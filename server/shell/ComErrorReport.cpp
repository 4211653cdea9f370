#include "server/shell/ComErrorReport.h"

#include <cstdio>

namespace warden {

std::string SystemMessageFor(uint32_t code) {
    switch (code) {
        case 0x80004001:
            return "Not implemented";
        case 0x80004002:
            return "No such interface supported";
        case 0x80004003:
            return "Invalid pointer";
        case 0x80004004:
            return "Operation aborted";
        case 0x80004005:
            return "Unspecified error";
        case 0x8000FFFF:
            return "Catastrophic failure";
        case 0x80070005:
            return "Access is denied.";
        case 0x80070006:
            return "The handle is invalid.";
        case 0x8007000E:
            return "Not enough memory resources are available to complete this operation.";
        case 0x80070057:
            return "The parameter is incorrect.";
        case 0x800401F3:
            return "Invalid class string";
        case 0x80040154:
            return "Class not registered";
        case 0x800706BA:
            return "The RPC server is unavailable.";
        default:
            return {};
    }
}

std::string ReportComError(const ImError& error) {
    char line[128];
    std::string text = "发生错误!\n";
    std::snprintf(line, sizeof line, "Code = %08lx\n", static_cast<unsigned long>(error.Code()));
    text += line;

    std::string meaning = SystemMessageFor(error.Code());
    if (meaning.empty()) {
        if (error.Code() > 0x80040200 && error.Code() <= 0x8004FFFF) {
            std::snprintf(line, sizeof line, "IDispatch error #%d",
                          static_cast<int>(error.Code() - 0x80040200));
        } else {
            std::snprintf(line, sizeof line, "Unknown error 0x%0lX",
                          static_cast<unsigned long>(error.Code()));
        }
        meaning = line;
    }
    text += "Code meaning = " + meaning + "\n";
    text += "Source = " + (error.Source().empty() ? std::string("null") : error.Source()) + "\n";
    text += "Description = " +
            (error.Description().empty() ? std::string("null") : error.Description()) + "\n";
    return text;
}

}  // namespace warden

#include "EnvironmentVariables.h"

#include <optional>

namespace envvars {

namespace {

std::optional<std::string> variableValue(const std::string& name, const Platform& system) {
    if (name.empty())
        return std::nullopt;
    return system.processVariable(name);
}

} // namespace

std::string expandReferences(const std::string& text, const Platform& system) {
    std::string expanded;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t open = text.find('%', position);
        const std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
        if (close == std::string::npos)
            break;
        expanded += text.substr(position, open - position);
        const std::optional<std::string> value =
            variableValue(text.substr(open + 1, close - open - 1), system);
        expanded += value ? *value : text.substr(open, close - open + 1);
        position = close + 1;
    }
    return expanded + text.substr(position);
}

std::string expandLeadingReference(const std::string& path, const Platform& system) {
    if (path.empty() || path[0] != '%')
        return path;
    const std::size_t close = path.find('%', 1);
    if (close == std::string::npos)
        return path;
    return expandReferences(path.substr(0, close + 1), system) + path.substr(close + 1);
}

bool setVariable(Platform& system, const std::string& name, const std::string& value,
                 bool userScope) {
    if (!system.writePersistentVariable(name, value, userScope))
        return false;
    system.setProcessVariable(name, value);
    system.broadcastEnvironmentChange();
    return true;
}

} // namespace envvars

// The text an action raises, for checking the model's error texts.
#pragma once

#include <functional>
#include <string>

inline std::string raised(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::string& error) {
        return error;
    }
    return "(nothing raised)";
}

#pragma once

#include "form/Control.h"

#include <vector>

namespace vidlume::form {

/// What a screen reader says for a control whose caption alone does not tell
/// what it serves (three buttons read "Browse", two "Help").
struct AccessibleName
{
    Control control;
    const char* name;
    const char* description;
};

/// The buttons' names and descriptions. Fields are named by the label before them.
const std::vector<AccessibleName>& accessibleButtonNames();

} // namespace vidlume::form

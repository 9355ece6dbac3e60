// Reading and writing a node's parameters by their description elements, as
// a user sees them: angles in degrees, cycles by their labels or symbols.
#ifndef TESSALINE_HOSTAPP_SERVICES_PARAMETERS_H
#define TESSALINE_HOSTAPP_SERVICES_PARAMETERS_H

#include <string>

#include "hostapp/resources/resource_reader.h"
#include "hostapp/services/container.h"

namespace tess::host {

// True for parameters a user can set from text (numbers, flags, cycles).
bool IsSettableFromText(const resources::Element& element);
// Sets the element's value from text; false with a reason on bad text.
bool SetParameterFromText(HostContainer& container, const resources::Element& element, const std::string& text,
                          std::string* error);
// The value as the panel shows it.
std::string FormatParameter(const HostContainer& container, const resources::Element& element);

}  // namespace tess::host

#endif

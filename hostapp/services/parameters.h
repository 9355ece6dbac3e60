// Reading and writing a node's parameters by their description elements, as
// a user sees them: angles in degrees, cycles by their labels or symbols.
#ifndef TESSALINE_HOSTAPP_SERVICES_PARAMETERS_H
#define TESSALINE_HOSTAPP_SERVICES_PARAMETERS_H

#include <string>

#include "hostapp/resources/resource_reader.h"
#include "hostapp/services/container.h"

namespace tess::host {

// The description's MIN and MAX for a value as the panel shows it (degrees
// for angles): false with a reason when it lies outside them. The panel never
// lets a value past them, so neither does anything else that sets one.
bool InsideRange(const resources::Element& element, double shown, std::string* error);

// True for parameters a user can set from text (numbers, flags, cycles).
bool IsSettableFromText(const resources::Element& element);
// Sets the element's value from text; false with a reason on bad text.
bool SetParameterFromText(HostContainer& container, const resources::Element& element, const std::string& text,
                          std::string* error);
// The value as the panel shows it.
std::string FormatParameter(const HostContainer& container, const resources::Element& element);

}  // namespace tess::host

#endif

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

// Refusals worded for someone at the panel rather than in a scene file: the
// parameter by its label, numbers in its unit as the panel shows them
// ("Radius must be at least 0 m", "Maximum Angle must be between 0° and 180°").
// The label: the description's long label, else the symbol.
std::string ParameterLabel(const resources::Element& element);
// A number as the panel shows it, with its unit: "0 m", "180°", "50 %".
std::string ShownWithUnit(const resources::Element& element, double shown);
// Empty when `shown` lies inside the description's MIN and MAX.
std::string RangeRefusal(const resources::Element& element, double shown);
// What the element takes at all, for a value of the wrong kind: "Radius must
// be a number", "Method must be one of Edges, Sampling".
std::string KindRefusal(const resources::Element& element);

}  // namespace tess::host

#endif

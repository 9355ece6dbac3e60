#include "hostapp/services/parameters.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "hostapp/services/gradient.h"
#include "hostapp/services/spline.h"

namespace tess::host {
namespace {

constexpr double pi = 3.141592653589793;

using resources::Element;
using resources::ElementType;

bool IsDegrees(const Element& e) {
  return e.FlagText("UNIT").value_or("") == "DEGREE";
}

std::string Number(double v) {
  std::ostringstream out;
  out.precision(6);
  out << v;
  return out.str();
}

bool ParseNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(*value);
}

bool ParseInt(const std::string& text, int32_t* value) {
  double v = 0.0;
  if (!ParseNumber(text, &v) || v != std::floor(v) || v < -2147483648.0 || v > 2147483647.0) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

bool ParseBool(const std::string& text, bool* value) {
  if (text == "true" || text == "on" || text == "1") return *value = true, true;
  if (text == "false" || text == "off" || text == "0") return *value = false, true;
  return false;
}

// A cycle entry by its symbol, its label or its number.
bool ParseCycle(const Element& e, const std::string& text, int32_t* value) {
  for (const auto& entry : e.cycle) {
    if (entry.symbol == text || entry.label == text) return *value = entry.value, true;
  }
  if (!ParseInt(text, value)) return false;
  return std::any_of(e.cycle.begin(), e.cycle.end(), [value](const auto& entry) { return entry.value == *value; });
}

// Units as the panel writes them: a space before a letter or a percent
// sign, none before the degree sign, as typography has it.
std::string UnitSuffix(const Element& e) {
  const std::string unit = e.FlagText("UNIT").value_or("");
  if (unit == "METER") return " m";
  if (unit == "DEGREE") return "°";
  if (unit == "PERCENT") return " %";
  return "";
}

std::string CycleLabels(const Element& e) {
  std::string labels;
  for (const auto& entry : e.cycle)
    labels += (labels.empty() ? "" : ", ") + (entry.label.empty() ? entry.symbol : entry.label);
  return labels;
}

}  // namespace

bool InsideRange(const Element& e, double shown, std::string* error) {
  const auto min = e.FlagNumber("MIN");
  const auto max = e.FlagNumber("MAX");
  if ((min && shown < *min) || (max && shown > *max)) {
    *error =
        "value " + Number(shown) + " outside " + (min ? Number(*min) : "-inf") + " .. " + (max ? Number(*max) : "inf");
    return false;
  }
  return true;
}

bool IsSettableFromText(const Element& e) {
  return e.id && (e.type == ElementType::Real || e.type == ElementType::Long || e.type == ElementType::Bool);
}

bool SetParameterFromText(HostContainer& c, const Element& e, const std::string& text, std::string* error) {
  const int32_t id = e.id.value_or(0);
  switch (e.type) {
    case ElementType::Real: {
      double v = 0.0;
      if (!ParseNumber(text, &v)) return *error = "not a number: " + text, false;
      if (!InsideRange(e, v, error)) return false;
      c.SetFloat(id, IsDegrees(e) ? v * pi / 180.0 : v);
      return true;
    }
    case ElementType::Long: {
      int32_t v = 0;
      const bool ok = e.cycle.empty() ? ParseInt(text, &v) : ParseCycle(e, text, &v);
      if (!ok) return *error = (e.cycle.empty() ? "not a whole number: " : "not one of the choices: ") + text, false;
      if (e.cycle.empty() && !InsideRange(e, v, error)) return false;
      c.SetInt(id, v);
      return true;
    }
    case ElementType::Bool: {
      bool v = false;
      if (!ParseBool(text, &v)) return *error = "not on or off: " + text, false;
      c.SetBool(id, v);
      return true;
    }
    default:
      *error = "cannot be set from text";
      return false;
  }
}

std::string ParameterLabel(const Element& e) {
  return e.longLabel.empty() ? e.symbol : e.longLabel;
}

std::string ShownWithUnit(const Element& e, double shown) {
  return Number(shown) + UnitSuffix(e);
}

std::string RangeRefusal(const Element& e, double shown) {
  const auto min = e.FlagNumber("MIN");
  const auto max = e.FlagNumber("MAX");
  if ((!min || shown >= *min) && (!max || shown <= *max)) return "";
  const std::string range = min && max ? "between " + ShownWithUnit(e, *min) + " and " + ShownWithUnit(e, *max)
                            : min      ? "at least " + ShownWithUnit(e, *min)
                                       : "at most " + ShownWithUnit(e, *max);
  return ParameterLabel(e) + " must be " + range;
}

std::string KindRefusal(const Element& e) {
  const std::string label = ParameterLabel(e);
  switch (e.type) {
    case ElementType::Real:
      return label + " must be a number";
    case ElementType::Long:
      return label + (e.cycle.empty() ? " must be a whole number" : " must be one of " + CycleLabels(e));
    case ElementType::Bool:
      return label + " must be true or false";
    default:
      return label + " cannot take that value";
  }
}

std::string FormatParameter(const HostContainer& c, const Element& e) {
  const Value* v = e.id ? c.Find(*e.id) : nullptr;
  switch (e.type) {
    case ElementType::Real:
      if (v == nullptr) return "(unset)";
      return IsDegrees(e) ? Number(v->floatValue * 180.0 / pi) + "°" : Number(v->floatValue);
    case ElementType::Long:
      if (v == nullptr) return "(unset)";
      for (const auto& entry : e.cycle)
        if (entry.value == v->intValue) return entry.label.empty() ? entry.symbol : entry.label;
      return std::to_string(v->intValue);
    case ElementType::Bool:
      return v == nullptr ? "(unset)" : v->intValue != 0 ? "on" : "off";
    case ElementType::Spline: {
      const auto* curve = v != nullptr ? dynamic_cast<const HostSpline*>(v->data.get()) : nullptr;
      return curve != nullptr ? "curve, " + std::to_string(curve->Knots().size()) + " knots" : "(none)";
    }
    case ElementType::Gradient: {
      const auto* gradient = v != nullptr ? dynamic_cast<const HostGradient*>(v->data.get()) : nullptr;
      return gradient != nullptr ? "gradient, " + std::to_string(gradient->Knots().size()) + " knots" : "(none)";
    }
    case ElementType::Link:
    case ElementType::ShaderLink:
      return v != nullptr && v->link != nullptr ? "linked" : "(empty)";
    default:
      return "";
  }
}

}  // namespace tess::host

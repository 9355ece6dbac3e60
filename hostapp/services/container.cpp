#include "hostapp/services/container.h"

namespace tess::host {
namespace {

std::map<int32_t, DataFromHandle>& DataTypes() {
  static std::map<int32_t, DataFromHandle> types;
  return types;
}

// The value under id when it is of the given kind, else null.
const Value* FindOfKind(const HostContainer* c, int32_t id, Value::Kind kind) {
  const Value* v = c != nullptr ? c->Find(id) : nullptr;
  return v != nullptr && v->kind == kind ? v : nullptr;
}

}  // namespace

void RegisterDataType(int32_t type, DataFromHandle fromHandle) {
  DataTypes()[type] = fromHandle;
}

const CustomData* DataOf(int32_t type, const void* handle) {
  auto it = DataTypes().find(type);
  return it != DataTypes().end() && handle != nullptr ? it->second(handle) : nullptr;
}

const HostContainerApi* ContainerTable() {
  static const HostContainerApi table{
      [](int32_t id) {
        auto* c = new HostContainer;
        c->id = id;
        return c;
      },
      [](HostContainer* c) { delete c; },
      [](HostNode* node) { return node != nullptr ? &node->container : nullptr; },
      [](const HostContainer* c) { return c != nullptr ? c->id : 0; },
      [](const HostContainer* c, int32_t id, int32_t fallback) {
        const Value* v = c != nullptr ? c->Find(id) : nullptr;
        if (v == nullptr) return fallback;
        if (v->kind == Value::Kind::Int || v->kind == Value::Kind::Bool) return v->intValue;
        return fallback;
      },
      [](const HostContainer* c, int32_t id, double fallback) {
        const Value* v = c != nullptr ? c->Find(id) : nullptr;
        if (v == nullptr) return fallback;
        if (v->kind == Value::Kind::Float) return v->floatValue;
        if (v->kind == Value::Kind::Int) return static_cast<double>(v->intValue);
        return fallback;
      },
      [](const HostContainer* c, int32_t id, HostBool fallback) {
        const Value* v = c != nullptr ? c->Find(id) : nullptr;
        if (v == nullptr || (v->kind != Value::Kind::Bool && v->kind != Value::Kind::Int)) return fallback;
        return static_cast<HostBool>(v->intValue != 0);
      },
      [](HostContainer* c, int32_t id, int32_t value) {
        if (c != nullptr) c->SetInt(id, value);
      },
      [](HostContainer* c, int32_t id, double value) {
        if (c != nullptr) c->SetFloat(id, value);
      },
      [](HostContainer* c, int32_t id, HostBool value) {
        if (c != nullptr) c->SetBool(id, value != 0);
      },
      [](const HostContainer* c, int32_t id, int32_t type) -> void* {
        const Value* v = FindOfKind(c, id, Value::Kind::Data);
        return v != nullptr && v->data != nullptr && v->data->Type() == type ? v->data->Handle() : nullptr;
      },
      [](HostContainer* c, int32_t id, int32_t type, const void* data) {
        const CustomData* source = DataOf(type, data);
        if (c == nullptr || source == nullptr) return HostBool{0};
        c->SetData(id, source->Clone());
        return HostBool{1};
      },
      [](const HostContainer* c, int32_t id, HostDocument*, int32_t type) -> HostNode* {
        const Value* v = FindOfKind(c, id, Value::Kind::Link);
        HostNode* node = v != nullptr ? v->link : nullptr;
        return node != nullptr && node->type == type ? node : nullptr;
      },
  };
  return &table;
}

}  // namespace tess::host

using tess::host::Value;

void HostContainer::SetInt(int32_t key, int32_t v) {
  Value& value = values[key] = Value{};
  value.kind = Value::Kind::Int;
  value.intValue = v;
}

void HostContainer::SetFloat(int32_t key, double v) {
  Value& value = values[key] = Value{};
  value.kind = Value::Kind::Float;
  value.floatValue = v;
}

void HostContainer::SetBool(int32_t key, bool v) {
  Value& value = values[key] = Value{};
  value.kind = Value::Kind::Bool;
  value.intValue = v ? 1 : 0;
}

void HostContainer::SetText(int32_t key, std::string v) {
  Value& value = values[key] = Value{};
  value.kind = Value::Kind::String;
  value.text = std::move(v);
}

void HostContainer::SetData(int32_t key, std::unique_ptr<tess::host::CustomData> v) {
  Value& value = values[key] = Value{};
  value.kind = Value::Kind::Data;
  value.data = std::move(v);
}

void HostContainer::SetLink(int32_t key, HostNode* node) {
  Value& value = values[key] = Value{};
  value.kind = Value::Kind::Link;
  value.link = node;
}

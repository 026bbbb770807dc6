#include "runtime/Properties.h"

#include "runtime/Controls.h"
#include "runtime/Forms.h"
#include "runtime/Menus.h"
#include "runtime/SameText.h"

#include <algorithm>
#include <deque>
#include <memory>

namespace runtime {

namespace {

struct ClassEntry {
    std::string name;
    std::string parent;
    std::deque<TPropInfo> properties; // a deque keeps the addresses handed out
};

struct Registry {
    std::vector<std::unique_ptr<ClassEntry>> classes;

    ClassEntry* find(std::string_view name) {
        for (auto& c : classes)
            if (SameText(c->name, name)) return c.get();
        return nullptr;
    }
    // The class and its ancestors, most derived first; a parent loop ends the walk.
    std::vector<ClassEntry*> chain(std::string_view name) {
        std::vector<ClassEntry*> result;
        for (ClassEntry* c = find(name); c != nullptr; c = find(c->parent)) {
            if (std::find(result.begin(), result.end(), c) != result.end()) break;
            result.push_back(c);
        }
        return result;
    }
};

void registerRuntimeClasses();

Registry& registry() {
    static Registry r;
    static bool seeded = false;
    if (!seeded) {
        seeded = true;
        registerRuntimeClasses();
    }
    return r;
}

const TPropInfo& require(const TPersistent& instance, std::string_view name) {
    const TPropInfo* info = GetPropInfo(instance, name);
    if (info == nullptr)
        throw EPropertyError("Class " + instance.ClassName() + " has no property " +
                             std::string(name));
    return *info;
}

[[noreturn]] void wrongKind(const TPropInfo& info, const char* wanted) {
    throw EPropertyError("Property " + info.Name + " is not " + wanted);
}

[[noreturn]] void readOnly(const TPropInfo& info) {
    throw EPropertyError("Property " + info.Name + " is read-only");
}

void registerRuntimeClasses() {
    PublishClass<TPersistent>("TPersistent", "");
    PublishClass<TComponent>("TComponent", "TPersistent")
        .String("Name", &TComponent::Name, &TComponent::SetName, "TComponentName")
        .Integer("Tag", &TComponent::Tag, &TComponent::SetTag, "NativeInt");
    PublishClass<TControl>("TControl", "TComponent")
        .Integer("Left", &TControl::Left, &TControl::SetLeft)
        .Integer("Top", &TControl::Top, &TControl::SetTop)
        .Integer("Width", &TControl::Width, &TControl::SetWidth)
        .Integer("Height", &TControl::Height, &TControl::SetHeight)
        .Boolean("Visible", &TControl::Visible, &TControl::SetVisible)
        .Boolean("Enabled", &TControl::Enabled, &TControl::SetEnabled)
        .Integer("Cursor", &TControl::Cursor, &TControl::SetCursor, "TCursor")
        .Integer("Color", &TControl::Color, &TControl::SetColor, "TColor")
        .String("Caption", &TControl::Caption, &TControl::SetCaption, "TCaption");
    PublishClass<TGraphicControl>("TGraphicControl", "TControl");
    PublishClass<TWinControl>("TWinControl", "TControl")
        .Boolean("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop)
        .Integer("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder, "TTabOrder");
    PublishClass<TCustomPanel>("TCustomPanel", "TWinControl")
        .Boolean("DoubleBuffered", &TCustomPanel::DoubleBuffered, &TCustomPanel::SetDoubleBuffered);
    PublishClass<TPanel>("TPanel", "TCustomPanel");
    PublishClass<TCustomForm>("TCustomForm", "TWinControl")
        .Integer("ClientWidth", &TCustomForm::ClientWidth, &TCustomForm::SetClientWidth)
        .Integer("ClientHeight", &TCustomForm::ClientHeight, &TCustomForm::SetClientHeight)
        .Boolean("KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview);
    PublishClass<TForm>("TForm", "TCustomForm");
    PublishClass<TMenuItem>("TMenuItem", "TComponent")
        .String("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption)
        .Boolean("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked)
        .Boolean("RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem)
        .Integer("GroupIndex", &TMenuItem::GroupIndex, &TMenuItem::SetGroupIndex, "Byte")
        .Boolean("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible)
        .Boolean("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled);
    PublishClass<TPopupMenu>("TPopupMenu", "TComponent")
        .Boolean("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup);
}

} // namespace

bool TPropInfo::IsOrdinal() const {
    switch (Kind) {
    case TTypeKind::tkInteger:
    case TTypeKind::tkChar:
    case TTypeKind::tkEnumeration:
    case TTypeKind::tkSet:
    case TTypeKind::tkWChar:
    case TTypeKind::tkInt64:
        return true;
    default:
        return false;
    }
}

bool TPropInfo::IsString() const {
    return Kind == TTypeKind::tkString || Kind == TTypeKind::tkLString ||
           Kind == TTypeKind::tkWString;
}

bool TPropInfo::Writable() const {
    if (IsOrdinal()) return static_cast<bool>(SetOrd);
    if (Kind == TTypeKind::tkFloat) return static_cast<bool>(SetFloat);
    if (IsString()) return static_cast<bool>(SetStr);
    return false;
}

void RegisterPublishedClass(const std::string& className, const std::string& parentClassName) {
    Registry& r = registry();
    if (ClassEntry* existing = r.find(className)) {
        existing->parent = parentClassName;
        return;
    }
    auto entry = std::make_unique<ClassEntry>();
    entry->name = className;
    entry->parent = parentClassName;
    r.classes.push_back(std::move(entry));
}

void RegisterPublishedProperty(const std::string& className, TPropInfo info) {
    Registry& r = registry();
    ClassEntry* entry = r.find(className);
    if (entry == nullptr) {
        RegisterPublishedClass(className, "");
        entry = r.find(className);
    }
    for (TPropInfo& existing : entry->properties)
        if (SameText(existing.Name, info.Name)) {
            existing = std::move(info);
            return;
        }
    entry->properties.push_back(std::move(info));
}

bool IsPublishedClass(std::string_view className) {
    return registry().find(className) != nullptr;
}

bool InheritsFromClass(std::string_view className, std::string_view ancestorName) {
    for (const ClassEntry* c : registry().chain(className))
        if (SameText(c->name, ancestorName)) return true;
    return false;
}

const TPropInfo* GetPropInfo(std::string_view className, std::string_view name) {
    for (const ClassEntry* c : registry().chain(className))
        for (const TPropInfo& info : c->properties)
            if (SameText(info.Name, name)) return &info;
    return nullptr;
}

const TPropInfo* GetPropInfo(const TPersistent& instance, std::string_view name) {
    return GetPropInfo(instance.ClassName(), name);
}

std::vector<const TPropInfo*> GetPropList(const TPersistent& instance) {
    std::vector<ClassEntry*> chain = registry().chain(instance.ClassName());
    std::vector<const TPropInfo*> list;
    for (auto c = chain.rbegin(); c != chain.rend(); ++c)
        for (const TPropInfo& info : (*c)->properties) {
            const auto same = std::find_if(list.begin(), list.end(), [&](const TPropInfo* p) {
                return SameText(p->Name, info.Name);
            });
            if (same != list.end())
                *same = &info;
            else
                list.push_back(&info);
        }
    return list;
}

bool IsPublishedProp(const TPersistent& instance, std::string_view name) {
    return GetPropInfo(instance, name) != nullptr;
}

std::int64_t GetOrdProp(TPersistent& instance, std::string_view name) {
    const TPropInfo& info = require(instance, name);
    if (!info.IsOrdinal() || !info.GetOrd) wrongKind(info, "an ordinal property");
    return info.GetOrd(instance);
}

void SetOrdProp(TPersistent& instance, std::string_view name, std::int64_t value) {
    const TPropInfo& info = require(instance, name);
    if (!info.IsOrdinal()) wrongKind(info, "an ordinal property");
    if (!info.SetOrd) readOnly(info);
    info.SetOrd(instance, value);
}

long double GetFloatProp(TPersistent& instance, std::string_view name) {
    const TPropInfo& info = require(instance, name);
    if (info.Kind != TTypeKind::tkFloat || !info.GetFloat) wrongKind(info, "a float property");
    return info.GetFloat(instance);
}

void SetFloatProp(TPersistent& instance, std::string_view name, long double value) {
    const TPropInfo& info = require(instance, name);
    if (info.Kind != TTypeKind::tkFloat) wrongKind(info, "a float property");
    if (!info.SetFloat) readOnly(info);
    info.SetFloat(instance, value);
}

std::string GetStrProp(TPersistent& instance, std::string_view name) {
    const TPropInfo& info = require(instance, name);
    if (!info.IsString() || !info.GetStr) wrongKind(info, "a string property");
    return info.GetStr(instance);
}

void SetStrProp(TPersistent& instance, std::string_view name, const std::string& value) {
    const TPropInfo& info = require(instance, name);
    if (!info.IsString()) wrongKind(info, "a string property");
    if (!info.SetStr) readOnly(info);
    info.SetStr(instance, value);
}

TPersistent* GetObjectProp(TPersistent& instance, std::string_view name) {
    const TPropInfo& info = require(instance, name);
    if (info.Kind != TTypeKind::tkClass || !info.GetObject) wrongKind(info, "an object property");
    return info.GetObject(instance);
}

std::string GetEnumProp(TPersistent& instance, std::string_view name) {
    const std::int64_t value = GetOrdProp(instance, name);
    const TPropInfo& info = require(instance, name);
    if (value >= 0 && value < static_cast<std::int64_t>(info.EnumNames.size()))
        return info.EnumNames[static_cast<std::size_t>(value)];
    return std::to_string(value);
}

} // namespace runtime

#pragma once
// Published properties by name, without run-time type information: each class registers its
// parent class and its properties (kind, getter, setter) once; an instance's properties are
// found through its ClassName, its own first, then its parent's, and so on. A class that never
// registered has none, so a class that adds no properties but should show its parent's
// registers itself with an empty list. Names are compared case-insensitively.
//
//     PublishClass<TMyControl>("TMyControl", "TControl")
//         .Integer("Radius", &TMyControl::Radius, &TMyControl::SetRadius)
//         .Boolean("Filled", &TMyControl::Filled, &TMyControl::SetFilled);
//
// Register from a function-local static (a class's constructor, say) so that the registry
// exists before any lookup. User-interface thread only.

#include "runtime/Components.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace runtime {

/// The kinds of published values (booleans are enumerations of type "Boolean").
enum class TTypeKind {
    tkUnknown,
    tkInteger,
    tkChar,
    tkEnumeration,
    tkFloat,
    tkString,
    tkSet,
    tkClass,
    tkMethod,
    tkWChar,
    tkLString,
    tkWString,
    tkVariant,
    tkInt64,
};

/// A property: ordinal kinds (integer, char, enumeration, set, wide char, 64-bit integer) use
/// GetOrd/SetOrd, tkFloat GetFloat/SetFloat, string kinds GetStr/SetStr, tkClass GetObject (an
/// object property is set by assigning into the object it answers). A missing setter makes the
/// property read-only.
struct TPropInfo {
    std::string Name;
    TTypeKind Kind = TTypeKind::tkUnknown;
    std::string TypeName;               ///< "Integer", "Boolean", "Byte", "TColor", ...
    std::vector<std::string> EnumNames; ///< enumerations: the name of each value from 0
    std::function<std::int64_t(TPersistent&)> GetOrd;
    std::function<void(TPersistent&, std::int64_t)> SetOrd;
    std::function<long double(TPersistent&)> GetFloat;
    std::function<void(TPersistent&, long double)> SetFloat;
    std::function<std::string(TPersistent&)> GetStr;
    std::function<void(TPersistent&, const std::string&)> SetStr;
    std::function<TPersistent*(TPersistent&)> GetObject;

    bool IsOrdinal() const;
    bool IsString() const;
    bool Writable() const;
};

/// A property that does not exist, has another kind, or cannot be written.
class EPropertyError : public Exception {
public:
    using Exception::Exception;
};

/// Declares a class and its parent (empty for a root). Registering a class again keeps its
/// properties; a different parent replaces the old one.
void RegisterPublishedClass(const std::string& className, const std::string& parentClassName);
/// Adds (or replaces, by name) a property of a registered class; an unregistered class is
/// registered as a root first.
void RegisterPublishedProperty(const std::string& className, TPropInfo info);
bool IsPublishedClass(std::string_view className);
/// Whether `className` is `ancestorName` or derives from it through registered parents.
bool InheritsFromClass(std::string_view className, std::string_view ancestorName);

/// The property of this name that an instance of className sees (its own class first), or null.
const TPropInfo* GetPropInfo(std::string_view className, std::string_view name);
const TPropInfo* GetPropInfo(const TPersistent& instance, std::string_view name);
/// Every property an instance sees: the root class's first, in registration order; a name
/// redeclared by a derived class appears once, where the base declared it, with the derived
/// class's getter and setter.
std::vector<const TPropInfo*> GetPropList(const TPersistent& instance);
bool IsPublishedProp(const TPersistent& instance, std::string_view name);

// By name; an unknown name or a kind that does not fit raises EPropertyError.
std::int64_t GetOrdProp(TPersistent& instance, std::string_view name);
void SetOrdProp(TPersistent& instance, std::string_view name, std::int64_t value);
long double GetFloatProp(TPersistent& instance, std::string_view name);
void SetFloatProp(TPersistent& instance, std::string_view name, long double value);
std::string GetStrProp(TPersistent& instance, std::string_view name);
void SetStrProp(TPersistent& instance, std::string_view name, const std::string& value);
TPersistent* GetObjectProp(TPersistent& instance, std::string_view name);
/// An enumeration's value as its name ("True", "bdOverControls"), or the number as text.
std::string GetEnumProp(TPersistent& instance, std::string_view name);

/// Registers the published properties of class C (see the top of this file).
template <class C>
class PublishClass {
public:
    PublishClass(std::string className, const std::string& parentClassName)
        : className_(std::move(className)) {
        RegisterPublishedClass(className_, parentClassName);
    }

    template <class Get, class Set>
    PublishClass& Integer(std::string name, Get get, Set set, std::string typeName = "Integer") {
        return ordinal(std::move(name), TTypeKind::tkInteger, std::move(typeName), get, set);
    }
    template <class Get, class Set>
    PublishClass& Int64(std::string name, Get get, Set set) {
        return ordinal(std::move(name), TTypeKind::tkInt64, "Int64", get, set);
    }
    template <class Get, class Set>
    PublishClass& Char(std::string name, Get get, Set set) {
        return ordinal(std::move(name), TTypeKind::tkChar, "Char", get, set);
    }
    template <class Get, class Set>
    PublishClass& Boolean(std::string name, Get get, Set set) {
        return ordinal(std::move(name), TTypeKind::tkEnumeration, "Boolean", get, set,
                       {"False", "True"});
    }
    /// An enumeration stored as its underlying number (value i is names[i]).
    template <class Get, class Set>
    PublishClass& Enumeration(std::string name, std::string typeName,
                              std::vector<std::string> names, Get get, Set set) {
        return ordinal(std::move(name), TTypeKind::tkEnumeration, std::move(typeName), get, set,
                       std::move(names));
    }
    /// A set stored as its bit mask.
    template <class Get, class Set>
    PublishClass& SetOf(std::string name, std::string typeName, Get get, Set set) {
        return ordinal(std::move(name), TTypeKind::tkSet, std::move(typeName), get, set);
    }
    template <class Get, class Set>
    PublishClass& Float(std::string name, Get get, Set set, std::string typeName = "Extended") {
        TPropInfo info = base(std::move(name), TTypeKind::tkFloat, std::move(typeName));
        info.GetFloat = [get](TPersistent& o) {
            return static_cast<long double>(std::invoke(get, static_cast<C&>(o)));
        };
        if constexpr (!std::is_null_pointer_v<Set>)
            info.SetFloat = [set](TPersistent& o, long double v) {
                invokeSetter(set, static_cast<C&>(o), v);
            };
        RegisterPublishedProperty(className_, std::move(info));
        return *this;
    }
    template <class Get, class Set>
    PublishClass& String(std::string name, Get get, Set set, std::string typeName = "string") {
        TPropInfo info = base(std::move(name), TTypeKind::tkLString, std::move(typeName));
        info.GetStr = [get](TPersistent& o) {
            return std::string(std::invoke(get, static_cast<C&>(o)));
        };
        if constexpr (!std::is_null_pointer_v<Set>)
            info.SetStr = [set](TPersistent& o, const std::string& v) {
                std::invoke(set, static_cast<C&>(o), v);
            };
        RegisterPublishedProperty(className_, std::move(info));
        return *this;
    }
    /// An object property: `get` answers the object (or null); it is written by assigning
    /// into that object, so it has no setter.
    template <class Get>
    PublishClass& Object(std::string name, std::string typeName, Get get) {
        TPropInfo info = base(std::move(name), TTypeKind::tkClass, std::move(typeName));
        info.GetObject = [get](TPersistent& o) -> TPersistent* {
            return std::invoke(get, static_cast<C&>(o));
        };
        RegisterPublishedProperty(className_, std::move(info));
        return *this;
    }

private:
    TPropInfo base(std::string name, TTypeKind kind, std::string typeName) {
        TPropInfo info;
        info.Name = std::move(name);
        info.Kind = kind;
        info.TypeName = std::move(typeName);
        return info;
    }
    template <class Set, class Value>
    static void invokeSetter(Set set, C& object, Value value) {
        if constexpr (std::is_member_function_pointer_v<Set>) {
            using Arg = typename firstArg<Set>::type;
            std::invoke(set, object, static_cast<Arg>(value));
        } else {
            std::invoke(set, object, value);
        }
    }
    template <class M>
    struct firstArg;
    template <class R, class K, class A>
    struct firstArg<R (K::*)(A)> {
        using type = std::remove_cvref_t<A>;
    };
    template <class R, class K, class A>
    struct firstArg<R (K::*)(A) noexcept> {
        using type = std::remove_cvref_t<A>;
    };
    template <class Get, class Set>
    PublishClass& ordinal(std::string name, TTypeKind kind, std::string typeName, Get get, Set set,
                          std::vector<std::string> names = {}) {
        TPropInfo info = base(std::move(name), kind, std::move(typeName));
        info.EnumNames = std::move(names);
        info.GetOrd = [get](TPersistent& o) {
            return static_cast<std::int64_t>(std::invoke(get, static_cast<C&>(o)));
        };
        if constexpr (!std::is_null_pointer_v<Set>)
            info.SetOrd = [set](TPersistent& o, std::int64_t v) {
                invokeSetter(set, static_cast<C&>(o), v);
            };
        RegisterPublishedProperty(className_, std::move(info));
        return *this;
    }

    std::string className_;
};

} // namespace runtime

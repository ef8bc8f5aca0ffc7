#pragma once
// The widget's own identity, read from its package's config.xml: what uninstalling another
// author's copy of it must name.
#include <string>

#include "src/signing/widget_package.h"

namespace widget {

// The package's own identity from its config.xml: <tizen:application id="..." package="...">.
struct PackageIds {
    std::wstring applicationId;  // e.g. "R4vT7mWq2Z.Quorvex"
    std::wstring packageId;      // e.g. "R4vT7mWq2Z"
};
// Throws PackageError when there is no config.xml or it names no usable ids (letters and
// digits, the application id being the package id, a dot and a name).
PackageIds readPackageIds(const WidgetPackage& package);

}  // namespace widget

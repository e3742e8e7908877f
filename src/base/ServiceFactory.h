#pragma once

#include <QString>

#include <functional>
#include <memory>

class External_;

// Makes a fresh service stub for an endpoint URL (empty: the built-in default). Operations make one per call.
using ServiceFactory = std::function<std::unique_ptr<External_>(const QString &url)>;

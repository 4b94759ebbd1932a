#include "config/trophies/deployment.h"

#include <cstdlib>

#include "common/log.h"
#include "config/trophies/trophy_upload.h"
#include "platform/paths.h"
#include "platform/profile_ini.h"

namespace vyre::trophies {
namespace {

constexpr const char* kArea = "deployment";

std::string Value(const platform::ProfileFile& file,
                  const std::function<const char*(const char*)>& env, const char* variable,
                  const char* section, const char* key) {
    if (const char* v = env ? env(variable) : nullptr; v != nullptr && *v != '\0') return v;
    return file.Get(section, key).value_or("");
}

// A web address kept only when it is a plain http(s) address.
std::string WebAddress(std::string value, const char* what) {
    if (value.empty()) return value;
    std::string address = OpenableAddress(value);
    if (address.empty())
        log::Warning(kArea, log::Format("the %s is not an http(s) address; left unused", what));
    return address;
}

bool HostChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.';
}

}  // namespace

bool PlainMailAddress(std::string_view address) {
    const std::size_t at = address.find('@');
    if (at == 0 || at == std::string_view::npos || at + 1 >= address.size() || address.size() > 254)
        return false;
    for (char c : address.substr(0, at)) {
        if (!HostChar(c) && c != '_' && c != '%' && c != '+') return false;
    }
    const std::string_view host = address.substr(at + 1);
    if (host.find('.') == std::string_view::npos || host.front() == '.' || host.back() == '.')
        return false;
    for (char c : host) {
        if (!HostChar(c)) return false;
    }
    return true;
}

std::filesystem::path DeploymentFile() {
    if (const char* file = std::getenv("VYRE_LUMO_DEPLOYMENT"); file != nullptr && *file != '\0')
        return file;
    return paths::AssetFolder() / "deployment.ini";
}

Deployment ReadDeployment(const std::filesystem::path& path,
                          const std::function<const char*(const char*)>& env) {
    const platform::ProfileFile file = platform::ProfileFile::Load(path);
    Deployment d;
    d.trophyService = WebAddress(
        Value(file, env, "VYRE_LUMO_TROPHY_SERVICE", "Trophies", "Service"), "trophy service");
    // The trophy service and the support site are hosts the paths are added to.
    for (std::string* host : {&d.trophyService}) {
        while (!host->empty() && host->back() == '/') host->pop_back();
    }
    d.productSupportPage =
        WebAddress(Value(file, env, "VYRE_LUMO_SUPPORT_PRODUCT_PAGE", "Support", "ProductPage"),
                   "product support page");
    d.supportSite =
        WebAddress(Value(file, env, "VYRE_LUMO_SUPPORT_SITE", "Support", "Site"), "support site");
    while (!d.supportSite.empty() && d.supportSite.back() == '/') d.supportSite.pop_back();
    std::string mail = Value(file, env, "VYRE_LUMO_SUPPORT_MAIL", "Support", "Mail");
    if (!mail.empty() && !PlainMailAddress(mail)) {
        log::Warning(kArea, "the support mail is not a plain mail address; left unused");
        mail.clear();
    }
    d.supportMail = mail;
    return d;
}

Deployment LoadDeployment() {
    return ReadDeployment(DeploymentFile(), [](const char* name) { return std::getenv(name); });
}

std::string SupportAddress(const Deployment& d, int button) {
    switch (button) {
        case kProductSupportButton:
            return d.productSupportPage;
        case kSupportStartButton:
            return d.supportSite.empty() ? std::string() : d.supportSite + "/SUPPORT/";
        case kSupportFormButton:
            return d.supportSite.empty() ? std::string()
                                         : d.supportSite + "/Support/Support/Support-Form/";
        case kSupportMailButton:
        case kSupportMailButton2:
            return d.supportMail.empty() ? std::string() : "mailto:" + d.supportMail;
        default:
            return {};
    }
}

}  // namespace vyre::trophies

#pragma once
// Where this installation's outside services are: the trophy service and the
// support pages and mail address. They belong to the deployment, never to the
// code: read from "deployment.ini" in the asset folder (or the file named by
// VYRE_LUMO_DEPLOYMENT), each value overridden by its environment variable.
// An address that is not a plain http(s) address (or, for the mail, a plain
// mail address) counts as not configured.
//
//   [Trophies]  Service=https://host[:port]       VYRE_LUMO_TROPHY_SERVICE
//   [Support]   ProductPage=https://host/path     VYRE_LUMO_SUPPORT_PRODUCT_PAGE
//               Site=https://host                 VYRE_LUMO_SUPPORT_SITE
//               Mail=name@host                    VYRE_LUMO_SUPPORT_MAIL

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace vyre::trophies {

struct Deployment {
    std::string trophyService;       // empty: no trophy service
    std::string productSupportPage;  // the product's support page
    std::string supportSite;         // the support pages' host, without a path
    std::string supportMail;         // the support mail address
};

// The support buttons of the update and support page.
inline constexpr int kProductSupportButton = 141;
inline constexpr int kSupportStartButton = 142;
inline constexpr int kSupportFormButton = 143;
inline constexpr int kSupportMailButton = 144;
inline constexpr int kSupportMailButton2 = 145;

std::filesystem::path DeploymentFile();
// From a deployment file and an environment (getenv by default).
Deployment ReadDeployment(const std::filesystem::path& file,
                          const std::function<const char*(const char*)>& env);
Deployment LoadDeployment();

// The address button 141..145 opens; empty when it is not configured.
std::string SupportAddress(const Deployment& deployment, int button);
// True for a plain mail address (letters, digits, ". _ % + -", one '@', a dotted host).
bool PlainMailAddress(std::string_view address);

}  // namespace vyre::trophies

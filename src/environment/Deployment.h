#pragma once

// Values compiled into every build. The addresses use the reserved .example domain so that a build
// never talks to a real host; the environment profiles of OrvaLogConf.ini replace them.
namespace Deployment {

inline constexpr char kSignOnApi[] = "https://passport.orva.example/";
inline constexpr char kQuestionBank[] = "https://tiku.orva.example/";
inline constexpr char kAnalyticsApi[] = "https://data.orva.example/";
inline constexpr char kImServer[] = "wss://im.orva.example/ws";
inline constexpr char kHomePage[] = "https://www.orva.example/";
// The user agreement, shown by the about window and the registration window.
inline constexpr char kUserAgreementPage[] = "https://www.orva.example/agreement";
// The privacy policy, linked from the registration window.
inline constexpr char kPrivacyPolicyPage[] = "https://www.orva.example/privacy";

// The IM application key (32 lower-case hex digits) and the request-signing secret (19 printable
// ASCII characters). The local service carries the same secret to check signatures.
inline constexpr char kImAppKey[] = "5d1e8a9c3f7b40e2a6c4d0b9e8f71a23";
inline constexpr char kSignSecret[] = "Exm#7qL2!vR9@tK4wZp";

static_assert(sizeof kImAppKey - 1 == 32);
static_assert(sizeof kSignSecret - 1 == 19);

} // namespace Deployment

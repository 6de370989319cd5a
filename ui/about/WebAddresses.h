#pragma once
// The maker's two web pages, offered by the About box.

namespace kestrine {

inline constexpr char kWebsiteAddress[] = "https://kestrine.example.org/";
inline constexpr char kDonationAddress[] = "https://kestrine.example.org/donate";

} // namespace kestrine

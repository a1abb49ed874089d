// The texts the user sees. Portable.
#pragma once

constexpr wchar_t kProductName[] = L"Quorlin";  // window title, title line and message box caption

constexpr wchar_t kStatusInitial[] = L"Hazırlanıyor…";
constexpr wchar_t kStatusDownloading[] = L"Quorlin indiriliyor…";
constexpr wchar_t kStatusDownloadingFormat[] = L"Quorlin indiriliyor… %llu / %llu MB";
constexpr wchar_t kStatusUnpacking[] = L"Kuruluyor…";
constexpr wchar_t kStatusPreparing[] = L"Quorlin hazırlanıyor…";
constexpr wchar_t kStatusStarting[] = L"Açılıyor…";
constexpr wchar_t kFooter[] = L"İlk açılışta bir kez indirilir • Brimlox";

constexpr wchar_t kErrorDownload[] =
    L"İndirme başarısız oldu. İnternet bağlantını kontrol edip Quorlin'i tekrar aç.";
// The runtime archive did not match the digest the build was given.
constexpr wchar_t kErrorDigest[] = L"İndirilen dosya doğrulanamadı (dosya özeti uyuşmadı). Quorlin'i tekrar aç.";
constexpr wchar_t kErrorSpaceFormat[] = L"Quorlin için en az %llu MB boş alan gerekiyor.";
constexpr wchar_t kErrorRuntimeUnpack[] = L"Dosyalar açılamadı (tar/Expand-Archive).";
constexpr wchar_t kErrorAppUnpack[] = L"Quorlin dosyaları açılamadı.";
constexpr wchar_t kErrorStart[] = L"Quorlin başlatılamadı.";

#pragma once

#include <QString>
#include <exception>
#include <string>

namespace quorrix {

// The one failure type of the program: a number and a one-line description, thrown by the
// platform layer and by every automation backend, and read by the error trap.
class Failure : public std::exception {
public:
    Failure(int number, QString description)
        : number_(number), description_(std::move(description)), what_(description_.toStdString()) {}

    int number() const noexcept { return number_; }
    const QString& description() const noexcept { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    int number_;
    QString description_;
    std::string what_;
};

// Failure numbers the program itself raises, chosen like the runtime's own where one exists.
namespace failure_number {
inline constexpr int kSubscriptOutOfRange = 9;
inline constexpr int kFileNotFound = 53;
inline constexpr int kPermissionDenied = 70;
inline constexpr int kPathNotFound = 76;
inline constexpr int kAutomation = 440;
inline constexpr int kObjectRequired = 424;
inline constexpr int kTypeMismatch = 13;
inline constexpr int kOverflow = 6;
inline constexpr int kCannotCreateObject = 429;
inline constexpr int kBadFileFormat = 321;
inline constexpr int kFileSelectionTooLong = 20476;
}  // namespace failure_number

}  // namespace quorrix

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every key of the user's settings (the user defaults), in one place.

// The position in the current list, and the category shown, restored at the next start.
inline constexpr const char* kRestoreIndexKey = "RestoreIndex";
inline constexpr const char* kRestoreCategoryKey = "RestoreCategory";
// Whether a new recording is stamped with the place it was made.
inline constexpr const char* kAutoLocationStampKey = "auto_location_stamp";
// Whether the play speeds keep the memo's pitch (a time-stretcher makes the speed); off, the
// pitch changes with the speed.
inline constexpr const char* kPreservePitchKey = "preserve_pitch";
// The sound server's capture source every take records from, by its name; the server's default
// source when absent (or when the named one is not there).
inline constexpr const char* kInputDeviceKey = "input_device";
// Every change of the volume slider is stored under this key.
inline constexpr const char* kOutputVolumeKey = "output_volume";
// The place-name service for location stamps: its base address and the account name.
inline constexpr const char* kGeonamesUrlKey = "geonames_url";
inline constexpr const char* kGeonamesUsernameKey = "geonames_username";
// The position used for location stamps when no positioning service gives a fix, in degrees.
inline constexpr const char* kLocationLatitudeKey = "location_latitude";
inline constexpr const char* kLocationLongitudeKey = "location_longitude";
// The positioning service that gives the one fix of a run: a Qt Positioning source by name with
// its parameters ("nmea:source=file:///home/ann/trip.nmea"), "none" for the position above only;
// GeoClue2 when absent. LocationManager::parseSource reads it.
inline constexpr const char* kLocationSourceKey = "location_source";
// E-mail: the upload server's base address (the e-mail is sent only when one is set), the
// subject and text the composition screen starts with, and the sender it fills in (a fixed
// no-reply address when unset).
inline constexpr const char* kUploadUrlKey = "upload_url";
inline constexpr const char* kEmailSubjectKey = "email_subject";
inline constexpr const char* kEmailBodyKey = "email_body";
inline constexpr const char* kEmailFromKey = "email_from";
// The format a memo is e-mailed in: "wav" (the recording itself; also when unset or unknown),
// "opus" or "flac" (a converted copy, made before the upload).
inline constexpr const char* kEmailFormatKey = "email_format";
// A vCard file, or a folder of them, read into the address book beside the usual places.
inline constexpr const char* kContactsPathKey = "contacts_path";
// The help pages' base address, to which each page's path is joined: an http(s) address or a
// local folder; the help pages that ship with the program when absent.
inline constexpr const char* kHelpUrlKey = "help_url";
// The folder whose pictures (and those of its subfolders) the photo picker offers; the
// desktop's pictures folder when absent.
inline constexpr const char* kPicturesPathKey = "pictures_path";

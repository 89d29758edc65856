// Why a file operation failed, in plain words for a banner or a message line.
#pragma once

// A short phrase for an errno value: "the disk is full", "permission denied".
// It fits after "Could not write NAME: " and after "cannot read NAME: ".
const char *reasonText(int error);

#ifndef QUORVANTA_RESOURCES_RESOURCE_IDS_H_
#define QUORVANTA_RESOURCES_RESOURCE_IDS_H_

// Identifiers of the executable's resources, shared by the resource script and the code that
// loads them. Plain macros, since the resource compiler reads this file too.
#define QUORVANTA_APP_ICON 101

#endif  // QUORVANTA_RESOURCES_RESOURCE_IDS_H_

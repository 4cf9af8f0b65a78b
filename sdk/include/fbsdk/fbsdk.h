#ifndef FBSDK_FBSDK_H
#define FBSDK_FBSDK_H
// The host SDK, version 2016.
#include <fbsdk/fbdefs.h>
#include <fbsdk/fbtime.h>
#include <fbsdk/fbplug.h>
#include <fbsdk/fbproperty.h>
#include <fbsdk/fbcomponent.h>
#include <fbsdk/fblibrary.h>
#include <fbsdk/fbhud.h>
#include <fbsdk/fbsystem.h>

#ifndef FBSDKUseNamespace
#define FBSDKUseNamespace 1
#endif
#if FBSDKUseNamespace
using namespace ORSDK2016;
#endif

#endif

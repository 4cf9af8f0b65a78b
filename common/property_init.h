#ifndef VTHUD_PROPERTY_INIT_H
#define VTHUD_PROPERTY_INIT_H
// Creating an element's properties the way both elements do.
#include <fbsdk/fbsdk.h>

namespace vthud {

// Animatable properties take their default as an array of doubles.
void Animatable(FBBox* pOwner, FBPropertyAnimatable& pProperty, const char* pName, const char* pType,
                double pDefault);
void Colour(FBBox* pOwner, FBPropertyAnimatableColorAndAlpha& pProperty, const char* pName, double pR, double pG,
            double pB, double pA);
// Non-animatable properties are stored by the host and published by the element.
void Plain(FBComponent* pOwner, FBProperty& pProperty, const char* pName);

}  // namespace vthud

#endif

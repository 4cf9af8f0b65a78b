#include "property_init.h"

namespace vthud {

void Animatable(FBBox* pOwner, FBPropertyAnimatable& pProperty, const char* pName, const char* pType,
                double pDefault) {
  double lInit[1] = {pDefault};
  pProperty.Init(pOwner, pName, pType, lInit);
}

void Colour(FBBox* pOwner, FBPropertyAnimatableColorAndAlpha& pProperty, const char* pName, double pR, double pG,
            double pB, double pA) {
  double lInit[4] = {pR, pG, pB, pA};
  pProperty.Init(pOwner, pName, "ColorAndAlpha", lInit);
}

void Plain(FBComponent* pOwner, FBProperty& pProperty, const char* pName) {
  pProperty.CreateInternal(pOwner, pName, nullptr, nullptr);
  pOwner->PropertyAdd(&pProperty);
}

}  // namespace vthud

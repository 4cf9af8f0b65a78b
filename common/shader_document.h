#ifndef VTHUD_SHADER_DOCUMENT_H
#define VTHUD_SHADER_DOCUMENT_H
// The material document of the HUD quad, 28 lines: position and first texture
// coordinate in, one constant lobe whose emission and opacity are the
// "hudTexture" sample (magenta when unbound), position passed through.
inline const char* VTHUDShaderDocument() {
  return "<vantorShader version='26'>\n"
         "    <input>\n"
         "        <element semantic='position'/>\n"
         "        <element semantic='texCoord0'/>\n"
         "    </input>\n"
         "    <surface>\n"
         "        <brdf model='constant' name='lobe0'/>\n"
         "    </surface>\n"
         "    <symbol type='color' name='hudTexture' default='1.0 0.0 1.0' sampler='true' display='false'/>\n"
         "    <implementation kind='glslDisplacement'>\n"
         "    <![CDATA[\n"
         "    void displacement()\n"
         "    {\n"
         "        oPosition = iPosition;\n"
         "    }\n"
         "    ]]>\n"
         "    </implementation>\n"
         "    <implementation kind='glslSurface'>\n"
         "    <![CDATA[\n"
         "    void surface()\n"
         "    {\n"
         "        vec4 fontSample = sampleParameterRGBA(hudTexture, iTexCoord0);\n"
         "        lobe0.exitantRadiance = fontSample.rgb;\n"
         "        lobe0.opacity         = fontSample.a;\n"
         "    }\n"
         "    ]]>\n"
         "    </implementation>\n"
         "</vantorShader>";
}

#endif

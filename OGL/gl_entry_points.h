// Names and pointer types of every extension entry point the framework may
// call, one list per capability group. OGL/extensions.h expands them into the
// pointer table of OGL_extensions and the probe looks each name up.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

// Group flag vbo_avail (11 entry points).
#define OGL_ENTRY_POINTS_VBO(X)                                  \
  X(PFNGLBINDBUFFERARBPROC, glBindBufferARB)                     \
  X(PFNGLDELETEBUFFERSARBPROC, glDeleteBuffersARB)               \
  X(PFNGLGENBUFFERSARBPROC, glGenBuffersARB)                     \
  X(PFNGLISBUFFERARBPROC, glIsBufferARB)                         \
  X(PFNGLBUFFERDATAARBPROC, glBufferDataARB)                     \
  X(PFNGLBUFFERSUBDATAARBPROC, glBufferSubDataARB)               \
  X(PFNGLGETBUFFERSUBDATAARBPROC, glGetBufferSubDataARB)         \
  X(PFNGLMAPBUFFERARBPROC, glMapBufferARB)                       \
  X(PFNGLUNMAPBUFFERARBPROC, glUnmapBufferARB)                   \
  X(PFNGLGETBUFFERPARAMETERIVARBPROC, glGetBufferParameterivARB) \
  X(PFNGLGETBUFFERPOINTERVARBPROC, glGetBufferPointervARB)

// Group flag vprog_avail (62 entry points).
#define OGL_ENTRY_POINTS_VPROG(X)                                            \
  X(PFNGLVERTEXATTRIB1DARBPROC, glVertexAttrib1dARB)                         \
  X(PFNGLVERTEXATTRIB1DVARBPROC, glVertexAttrib1dvARB)                       \
  X(PFNGLVERTEXATTRIB1FARBPROC, glVertexAttrib1fARB)                         \
  X(PFNGLVERTEXATTRIB1FVARBPROC, glVertexAttrib1fvARB)                       \
  X(PFNGLVERTEXATTRIB1SARBPROC, glVertexAttrib1sARB)                         \
  X(PFNGLVERTEXATTRIB1SVARBPROC, glVertexAttrib1svARB)                       \
  X(PFNGLVERTEXATTRIB2DARBPROC, glVertexAttrib2dARB)                         \
  X(PFNGLVERTEXATTRIB2DVARBPROC, glVertexAttrib2dvARB)                       \
  X(PFNGLVERTEXATTRIB2FARBPROC, glVertexAttrib2fARB)                         \
  X(PFNGLVERTEXATTRIB2FVARBPROC, glVertexAttrib2fvARB)                       \
  X(PFNGLVERTEXATTRIB2SARBPROC, glVertexAttrib2sARB)                         \
  X(PFNGLVERTEXATTRIB2SVARBPROC, glVertexAttrib2svARB)                       \
  X(PFNGLVERTEXATTRIB3DARBPROC, glVertexAttrib3dARB)                         \
  X(PFNGLVERTEXATTRIB3DVARBPROC, glVertexAttrib3dvARB)                       \
  X(PFNGLVERTEXATTRIB3FARBPROC, glVertexAttrib3fARB)                         \
  X(PFNGLVERTEXATTRIB3FVARBPROC, glVertexAttrib3fvARB)                       \
  X(PFNGLVERTEXATTRIB3SARBPROC, glVertexAttrib3sARB)                         \
  X(PFNGLVERTEXATTRIB3SVARBPROC, glVertexAttrib3svARB)                       \
  X(PFNGLVERTEXATTRIB4NBVARBPROC, glVertexAttrib4NbvARB)                     \
  X(PFNGLVERTEXATTRIB4NIVARBPROC, glVertexAttrib4NivARB)                     \
  X(PFNGLVERTEXATTRIB4NSVARBPROC, glVertexAttrib4NsvARB)                     \
  X(PFNGLVERTEXATTRIB4NUBARBPROC, glVertexAttrib4NubARB)                     \
  X(PFNGLVERTEXATTRIB4NUBVARBPROC, glVertexAttrib4NubvARB)                   \
  X(PFNGLVERTEXATTRIB4NUIVARBPROC, glVertexAttrib4NuivARB)                   \
  X(PFNGLVERTEXATTRIB4NUSVARBPROC, glVertexAttrib4NusvARB)                   \
  X(PFNGLVERTEXATTRIB4BVARBPROC, glVertexAttrib4bvARB)                       \
  X(PFNGLVERTEXATTRIB4DARBPROC, glVertexAttrib4dARB)                         \
  X(PFNGLVERTEXATTRIB4DVARBPROC, glVertexAttrib4dvARB)                       \
  X(PFNGLVERTEXATTRIB4FARBPROC, glVertexAttrib4fARB)                         \
  X(PFNGLVERTEXATTRIB4FVARBPROC, glVertexAttrib4fvARB)                       \
  X(PFNGLVERTEXATTRIB4IVARBPROC, glVertexAttrib4ivARB)                       \
  X(PFNGLVERTEXATTRIB4SARBPROC, glVertexAttrib4sARB)                         \
  X(PFNGLVERTEXATTRIB4SVARBPROC, glVertexAttrib4svARB)                       \
  X(PFNGLVERTEXATTRIB4UBVARBPROC, glVertexAttrib4ubvARB)                     \
  X(PFNGLVERTEXATTRIB4UIVARBPROC, glVertexAttrib4uivARB)                     \
  X(PFNGLVERTEXATTRIB4USVARBPROC, glVertexAttrib4usvARB)                     \
  X(PFNGLVERTEXATTRIBPOINTERARBPROC, glVertexAttribPointerARB)               \
  X(PFNGLENABLEVERTEXATTRIBARRAYARBPROC, glEnableVertexAttribArrayARB)       \
  X(PFNGLDISABLEVERTEXATTRIBARRAYARBPROC, glDisableVertexAttribArrayARB)     \
  X(PFNGLPROGRAMSTRINGARBPROC, glProgramStringARB)                           \
  X(PFNGLBINDPROGRAMARBPROC, glBindProgramARB)                               \
  X(PFNGLDELETEPROGRAMSARBPROC, glDeleteProgramsARB)                         \
  X(PFNGLGENPROGRAMSARBPROC, glGenProgramsARB)                               \
  X(PFNGLPROGRAMENVPARAMETER4DARBPROC, glProgramEnvParameter4dARB)           \
  X(PFNGLPROGRAMENVPARAMETER4DVARBPROC, glProgramEnvParameter4dvARB)         \
  X(PFNGLPROGRAMENVPARAMETER4FARBPROC, glProgramEnvParameter4fARB)           \
  X(PFNGLPROGRAMENVPARAMETER4FVARBPROC, glProgramEnvParameter4fvARB)         \
  X(PFNGLPROGRAMLOCALPARAMETER4DARBPROC, glProgramLocalParameter4dARB)       \
  X(PFNGLPROGRAMLOCALPARAMETER4DVARBPROC, glProgramLocalParameter4dvARB)     \
  X(PFNGLPROGRAMLOCALPARAMETER4FARBPROC, glProgramLocalParameter4fARB)       \
  X(PFNGLPROGRAMLOCALPARAMETER4FVARBPROC, glProgramLocalParameter4fvARB)     \
  X(PFNGLGETPROGRAMENVPARAMETERDVARBPROC, glGetProgramEnvParameterdvARB)     \
  X(PFNGLGETPROGRAMENVPARAMETERFVARBPROC, glGetProgramEnvParameterfvARB)     \
  X(PFNGLGETPROGRAMLOCALPARAMETERDVARBPROC, glGetProgramLocalParameterdvARB) \
  X(PFNGLGETPROGRAMLOCALPARAMETERFVARBPROC, glGetProgramLocalParameterfvARB) \
  X(PFNGLGETPROGRAMIVARBPROC, glGetProgramivARB)                             \
  X(PFNGLGETPROGRAMSTRINGARBPROC, glGetProgramStringARB)                     \
  X(PFNGLGETVERTEXATTRIBDVARBPROC, glGetVertexAttribdvARB)                   \
  X(PFNGLGETVERTEXATTRIBFVARBPROC, glGetVertexAttribfvARB)                   \
  X(PFNGLGETVERTEXATTRIBIVARBPROC, glGetVertexAttribivARB)                   \
  X(PFNGLGETVERTEXATTRIBPOINTERVARBPROC, glGetVertexAttribPointervARB)       \
  X(PFNGLISPROGRAMARBPROC, glIsProgramARB)

// Group flag occlude_avail (8 entry points).
#define OGL_ENTRY_POINTS_OCCLUDE(X)                      \
  X(PFNGLGENQUERIESARBPROC, glGenQueriesARB)             \
  X(PFNGLDELETEQUERIESARBPROC, glDeleteQueriesARB)       \
  X(PFNGLISQUERYARBPROC, glIsQueryARB)                   \
  X(PFNGLBEGINQUERYARBPROC, glBeginQueryARB)             \
  X(PFNGLENDQUERYARBPROC, glEndQueryARB)                 \
  X(PFNGLGETQUERYIVARBPROC, glGetQueryivARB)             \
  X(PFNGLGETQUERYOBJECTIVARBPROC, glGetQueryObjectivARB) \
  X(PFNGLGETQUERYOBJECTUIVARBPROC, glGetQueryObjectuivARB)

// Group flag shad_objs_avail (39 entry points).
#define OGL_ENTRY_POINTS_SHADOBJ(X)                              \
  X(PFNGLDELETEOBJECTARBPROC, glDeleteObjectARB)                 \
  X(PFNGLGETHANDLEARBPROC, glGetHandleARB)                       \
  X(PFNGLDETACHOBJECTARBPROC, glDetachObjectARB)                 \
  X(PFNGLCREATESHADEROBJECTARBPROC, glCreateShaderObjectARB)     \
  X(PFNGLSHADERSOURCEARBPROC, glShaderSourceARB)                 \
  X(PFNGLCOMPILESHADERARBPROC, glCompileShaderARB)               \
  X(PFNGLCREATEPROGRAMOBJECTARBPROC, glCreateProgramObjectARB)   \
  X(PFNGLATTACHOBJECTARBPROC, glAttachObjectARB)                 \
  X(PFNGLLINKPROGRAMARBPROC, glLinkProgramARB)                   \
  X(PFNGLUSEPROGRAMOBJECTARBPROC, glUseProgramObjectARB)         \
  X(PFNGLVALIDATEPROGRAMARBPROC, glValidateProgramARB)           \
  X(PFNGLUNIFORM1FARBPROC, glUniform1fARB)                       \
  X(PFNGLUNIFORM2FARBPROC, glUniform2fARB)                       \
  X(PFNGLUNIFORM3FARBPROC, glUniform3fARB)                       \
  X(PFNGLUNIFORM4FARBPROC, glUniform4fARB)                       \
  X(PFNGLUNIFORM1IARBPROC, glUniform1iARB)                       \
  X(PFNGLUNIFORM2IARBPROC, glUniform2iARB)                       \
  X(PFNGLUNIFORM3IARBPROC, glUniform3iARB)                       \
  X(PFNGLUNIFORM4IARBPROC, glUniform4iARB)                       \
  X(PFNGLUNIFORM1FVARBPROC, glUniform1fvARB)                     \
  X(PFNGLUNIFORM2FVARBPROC, glUniform2fvARB)                     \
  X(PFNGLUNIFORM3FVARBPROC, glUniform3fvARB)                     \
  X(PFNGLUNIFORM4FVARBPROC, glUniform4fvARB)                     \
  X(PFNGLUNIFORM1IVARBPROC, glUniform1ivARB)                     \
  X(PFNGLUNIFORM2IVARBPROC, glUniform2ivARB)                     \
  X(PFNGLUNIFORM3IVARBPROC, glUniform3ivARB)                     \
  X(PFNGLUNIFORM4IVARBPROC, glUniform4ivARB)                     \
  X(PFNGLUNIFORMMATRIX2FVARBPROC, glUniformMatrix2fvARB)         \
  X(PFNGLUNIFORMMATRIX3FVARBPROC, glUniformMatrix3fvARB)         \
  X(PFNGLUNIFORMMATRIX4FVARBPROC, glUniformMatrix4fvARB)         \
  X(PFNGLGETOBJECTPARAMETERFVARBPROC, glGetObjectParameterfvARB) \
  X(PFNGLGETOBJECTPARAMETERIVARBPROC, glGetObjectParameterivARB) \
  X(PFNGLGETINFOLOGARBPROC, glGetInfoLogARB)                     \
  X(PFNGLGETATTACHEDOBJECTSARBPROC, glGetAttachedObjectsARB)     \
  X(PFNGLGETUNIFORMLOCATIONARBPROC, glGetUniformLocationARB)     \
  X(PFNGLGETACTIVEUNIFORMARBPROC, glGetActiveUniformARB)         \
  X(PFNGLGETUNIFORMFVARBPROC, glGetUniformfvARB)                 \
  X(PFNGLGETUNIFORMIVARBPROC, glGetUniformivARB)                 \
  X(PFNGLGETSHADERSOURCEARBPROC, glGetShaderSourceARB)

// Group flag vshader_avail (3 entry points).
#define OGL_ENTRY_POINTS_VSHADER(X)                          \
  X(PFNGLBINDATTRIBLOCATIONARBPROC, glBindAttribLocationARB) \
  X(PFNGLGETACTIVEATTRIBARBPROC, glGetActiveAttribARB)       \
  X(PFNGLGETATTRIBLOCATIONARBPROC, glGetAttribLocationARB)

// Group flag gshader_avail (1 entry points).
#define OGL_ENTRY_POINTS_GSHADER(X) X(PFNGLPROGRAMPARAMETERIEXTPROC, glProgramParameteriEXT)

// Group flag framebuf_avail (17 entry points).
#define OGL_ENTRY_POINTS_FBO(X)                                                                \
  X(PFNGLISRENDERBUFFEREXTPROC, glIsRenderbufferEXT)                                           \
  X(PFNGLBINDRENDERBUFFEREXTPROC, glBindRenderbufferEXT)                                       \
  X(PFNGLDELETERENDERBUFFERSEXTPROC, glDeleteRenderbuffersEXT)                                 \
  X(PFNGLGENRENDERBUFFERSEXTPROC, glGenRenderbuffersEXT)                                       \
  X(PFNGLRENDERBUFFERSTORAGEEXTPROC, glRenderbufferStorageEXT)                                 \
  X(PFNGLGETRENDERBUFFERPARAMETERIVEXTPROC, glGetRenderbufferParameterivEXT)                   \
  X(PFNGLISFRAMEBUFFEREXTPROC, glIsFramebufferEXT)                                             \
  X(PFNGLBINDFRAMEBUFFEREXTPROC, glBindFramebufferEXT)                                         \
  X(PFNGLDELETEFRAMEBUFFERSEXTPROC, glDeleteFramebuffersEXT)                                   \
  X(PFNGLGENFRAMEBUFFERSEXTPROC, glGenFramebuffersEXT)                                         \
  X(PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC, glCheckFramebufferStatusEXT)                           \
  X(PFNGLFRAMEBUFFERTEXTURE1DEXTPROC, glFramebufferTexture1DEXT)                               \
  X(PFNGLFRAMEBUFFERTEXTURE2DEXTPROC, glFramebufferTexture2DEXT)                               \
  X(PFNGLFRAMEBUFFERTEXTURE3DEXTPROC, glFramebufferTexture3DEXT)                               \
  X(PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC, glFramebufferRenderbufferEXT)                         \
  X(PFNGLGETFRAMEBUFFERATTACHMENTPARAMETERIVEXTPROC, glGetFramebufferAttachmentParameterivEXT) \
  X(PFNGLGENERATEMIPMAPEXTPROC, glGenerateMipmapEXT)

// Group flag tex_comp_avail (7 entry points).
#define OGL_ENTRY_POINTS_TEXCOMP(X)                                    \
  X(PFNGLCOMPRESSEDTEXIMAGE3DARBPROC, glCompressedTexImage3DARB)       \
  X(PFNGLCOMPRESSEDTEXIMAGE2DARBPROC, glCompressedTexImage2DARB)       \
  X(PFNGLCOMPRESSEDTEXIMAGE1DARBPROC, glCompressedTexImage1DARB)       \
  X(PFNGLCOMPRESSEDTEXSUBIMAGE3DARBPROC, glCompressedTexSubImage3DARB) \
  X(PFNGLCOMPRESSEDTEXSUBIMAGE2DARBPROC, glCompressedTexSubImage2DARB) \
  X(PFNGLCOMPRESSEDTEXSUBIMAGE1DARBPROC, glCompressedTexSubImage1DARB) \
  X(PFNGLGETCOMPRESSEDTEXIMAGEARBPROC, glGetCompressedTexImageARB)

// Group flag sblend_avail (2 entry points).
#define OGL_ENTRY_POINTS_SBLEND(X)                         \
  X(PFNGLBLENDFUNCSEPARATEEXTPROC, glBlendFuncSeparateEXT) \
  X(PFNGLBLENDEQUATIONSEPARATEEXTPROC, glBlendEquationSeparateEXT)

#define OGL_ENTRY_POINTS_ALL(X)                                                       \
  OGL_ENTRY_POINTS_VBO(X)                                                             \
  OGL_ENTRY_POINTS_VPROG(X) OGL_ENTRY_POINTS_OCCLUDE(X) OGL_ENTRY_POINTS_SHADOBJ(X)   \
      OGL_ENTRY_POINTS_VSHADER(X) OGL_ENTRY_POINTS_GSHADER(X) OGL_ENTRY_POINTS_FBO(X) \
          OGL_ENTRY_POINTS_TEXCOMP(X) OGL_ENTRY_POINTS_SBLEND(X)

#include "editor/toolkit/ShaderProgram.h"

#include "editor/toolkit/GlHeaders.h"

namespace QN {
namespace {

GLhandleARB compile(GLenum stage, const char* source)
{
    GLhandleARB shader = glCreateShaderObjectARB(stage);
    glShaderSourceARB(shader, 1, &source, nullptr);
    glCompileShaderARB(shader);
    GLint compiled = 0;
    glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
    if (!compiled) {
        glDeleteObjectARB(shader);
        return 0;
    }
    return shader;
}

}  // namespace

bool ShaderProgram::isSupported() { return GLEW_ARB_shader_objects && GLEW_ARB_multitexture; }

// A program that failed would draw black; checking lets the caller fall back to plain
// texturing instead.
bool ShaderProgram::build(const char* vertexSource, const char* fragmentSource)
{
    release();
    if (!isSupported()) return false;
    if (vertexSource) {
        vertex_ = compile(GL_VERTEX_SHADER_ARB, vertexSource);
        if (!vertex_) return false;
    }
    fragment_ = compile(GL_FRAGMENT_SHADER_ARB, fragmentSource);
    if (!fragment_) {
        release();
        return false;
    }
    program_ = glCreateProgramObjectARB();
    if (vertex_) glAttachObjectARB(program_, vertex_);
    glAttachObjectARB(program_, fragment_);
    glLinkProgramARB(program_);
    GLint linked = 0;
    glGetObjectParameterivARB(program_, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (!linked) {
        release();
        return false;
    }
    return true;
}

void ShaderProgram::release()
{
    if (program_ && vertex_) glDetachObjectARB(program_, vertex_);
    if (program_ && fragment_) glDetachObjectARB(program_, fragment_);
    if (vertex_) glDeleteObjectARB(vertex_);
    if (fragment_) glDeleteObjectARB(fragment_);
    if (program_) glDeleteObjectARB(program_);
    program_ = vertex_ = fragment_ = 0;
}

int ShaderProgram::uniform(const char* name) const
{
    return program_ ? glGetUniformLocationARB(program_, name) : -1;
}

void ShaderProgram::use() const { glUseProgramObjectARB(program_); }

void ShaderProgram::useNone() { glUseProgramObjectARB(0); }

}  // namespace QN

#include "platform/gpu/ShaderCompiler.h"

#include "platform/gpu/GpuError.h"

#include <GLES3/gl32.h>

#include <vector>

namespace zanto::gpu {
namespace {

// The info log of a shader or a program, through the matching GL getters.
template <typename GetValue, typename GetLog>
std::string infoLog(GLuint object, GetValue getValue, GetLog getLog)
{
    GLint length = 0;
    getValue(object, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(std::size_t(length > 0 ? length : 1) + 1, '\0');
    getLog(object, GLsizei(log.size()), nullptr, log.data());
    return log.data();
}

std::string shaderLog(GLuint shader)
{
    return infoLog(shader, glGetShaderiv, glGetShaderInfoLog);
}

std::string programLog(GLuint program)
{
    return infoLog(program, glGetProgramiv, glGetProgramInfoLog);
}

} // namespace

unsigned compileShader(ShaderStage stage, const std::string& text)
{
    GLuint shader = glCreateShader(stage == ShaderStage::Vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    if (!shader) throw GpuError("glCreateShader failed");
    const char* sources[] = {text.c_str()};
    glShaderSource(shader, 1, sources, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled != GL_TRUE) {
        std::string log = shaderLog(shader);
        glDeleteShader(shader);
        throw GpuError(std::string("Shader compilation failed (")
                       + (stage == ShaderStage::Vertex ? "vertex" : "fragment") + " stage):\n" + log);
    }
    return shader;
}

void deleteShader(unsigned shader)
{
    glDeleteShader(shader);
}

unsigned linkProgram(unsigned vertexShader, unsigned fragmentShader, const std::string& what)
{
    GLuint program = glCreateProgram();
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        std::string log = programLog(program);
        glDeleteProgram(program);
        throw GpuError("Shader program " + what + " failed to link:\n" + log);
    }
    return program;
}

} // namespace zanto::gpu

#pragma once

namespace QN {

// A GLSL program made of an optional vertex stage and a fragment stage, on the
// shader-object extension. Called on: render thread only.
class ShaderProgram {
public:
    ShaderProgram() = default;
    ~ShaderProgram() = default;  // release() must run on the render thread first
    ShaderProgram(const ShaderProgram&) = delete;
    ShaderProgram& operator=(const ShaderProgram&) = delete;

    // True when the GL offers shader objects and multitexturing.
    static bool isSupported();
    // False (and nothing kept) when a stage does not compile or the program does not link.
    bool build(const char* vertexSource, const char* fragmentSource);
    void release();
    [[nodiscard]] bool isValid() const { return program_ != 0; }
    [[nodiscard]] int uniform(const char* name) const;
    void use() const;
    static void useNone();

private:
    unsigned program_ = 0;
    unsigned vertex_ = 0;
    unsigned fragment_ = 0;
};

}  // namespace QN

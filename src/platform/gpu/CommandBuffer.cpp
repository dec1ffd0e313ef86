#include "platform/gpu/CommandPass.h"
#include "platform/gpu/DeviceImpl.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/RenderPipeline.h"
#include "platform/gpu/Texture.h"

#include <GLES3/gl32.h>

#include <algorithm>

namespace zanto::gpu {
namespace {

void applyBlending(Blending blending)
{
    if (blending == Blending::None) {
        glDisable(GL_BLEND);
        return;
    }
    glEnable(GL_BLEND);
    glBlendEquationSeparate(GL_FUNC_ADD, GL_FUNC_ADD);
    glBlendFuncSeparate(GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
}

void runDraw(Device::Impl& device, const RecordedDraw& draw)
{
    glUseProgram(draw.pipeline->glProgram(draw.constants));
    applyBlending(draw.pipeline->blending());
    for (std::size_t i = 0; i < draw.bytes.size(); ++i) {
        if (!draw.bytesSet[i]) continue;
        const auto& bytes = draw.bytes[i];
        glBindBuffer(GL_UNIFORM_BUFFER, device.uniformBuffers[i]);
        // Orphaning the store each draw lets the driver keep the previous
        // contents for draws still in flight.
        glBufferData(GL_UNIFORM_BUFFER, GLsizeiptr(bytes.size()), bytes.empty() ? nullptr : bytes.data(),
                     GL_STREAM_DRAW);
        glBindBufferBase(GL_UNIFORM_BUFFER, GLuint(i), device.uniformBuffers[i]);
    }
    for (std::size_t i = 0; i < draw.textures.size(); ++i) {
        glActiveTexture(GLenum(GL_TEXTURE0 + i));
        glBindTexture(GL_TEXTURE_2D, draw.textures[i] ? draw.textures[i]->glName() : 0);
    }
    glActiveTexture(GL_TEXTURE0);
    glBindVertexArray(device.vertexArray);
    glDrawArrays(GL_TRIANGLES, draw.vertexStart, draw.vertexCount);
}

std::string runRenderPass(Device::Impl& device, const CommandBuffer::Pass& pass)
{
    const auto& target = *pass.descriptor.target;
    glBindFramebuffer(GL_FRAMEBUFFER, device.framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target.glName(), 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return "Render target is not complete";
    glViewport(0, 0, target.width(), target.height());
    // Texture row 0 is framebuffer row 0, so the region's rows are the scissor's.
    if (const auto& area = pass.descriptor.scissor) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(area->x, area->y, area->width, area->height);
    }
    if (pass.descriptor.loadAction == LoadAction::Clear) {
        glDisable(GL_BLEND);
        glClearBufferfv(GL_COLOR, 0, pass.descriptor.clearColor.data());
    }
    for (const auto& draw : pass.draws) {
        if (draw.scissor) {
            PixelRegion r = *draw.scissor;
            if (const auto& area = pass.descriptor.scissor) {
                const int x0 = std::max(r.x, area->x), y0 = std::max(r.y, area->y);
                const int x1 = std::min(r.x + r.width, area->x + area->width);
                const int y1 = std::min(r.y + r.height, area->y + area->height);
                r = {x0, y0, x1 - x0, y1 - y0};
            }
            if (r.isEmpty()) continue;
            glEnable(GL_SCISSOR_TEST);
            glScissor(r.x, r.y, r.width, r.height);
        } else if (const auto& area = pass.descriptor.scissor) {
            glScissor(area->x, area->y, area->width, area->height);
        } else {
            glDisable(GL_SCISSOR_TEST);
        }
        runDraw(device, draw);
    }
    glDisable(GL_SCISSOR_TEST);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return {};
}

void runBlitPass(const CommandBuffer::Pass& pass)
{
    for (const auto& copy : pass.copies)
        glCopyImageSubData(copy.source->glName(), GL_TEXTURE_2D, 0, 0, 0, 0, copy.destination->glName(), GL_TEXTURE_2D,
                           0, 0, 0, 0, copy.source->width(), copy.source->height(), 1);
}

} // namespace

void CommandBuffer::commit()
{
    if (status_ != Status::NotCommitted) return;
    if (misuse_) {
        status_ = Status::Error;
        error_ = *misuse_;
        return;
    }
    std::string failure;
    try {
        DeviceSession session(device_->impl());
        for (const auto& pass : passes_) {
            if (pass->render)
                failure = runRenderPass(device_->impl(), *pass);
            else
                runBlitPass(*pass);
            if (!failure.empty()) break;
        }
        glFinish();
        if (auto glError = takeGlError(); failure.empty() && !glError.empty())
            failure = "GPU command execution failed: " + glError;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    } catch (const GpuError& error) {
        failure = error.what();
    }
    passes_.clear(); // drops the references to textures and pipelines
    status_ = failure.empty() ? Status::Completed : Status::Error;
    if (!failure.empty()) error_ = failure;
}

} // namespace zanto::gpu
